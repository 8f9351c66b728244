# fish completion for korvel-cli: its commands, each command's options and the
# options of every command, files, serial ports and, for `history show`, the
# save ids of the history the line names (from `history list --csv`).

set -l commands list read write check provision history help

function __korvel_cli_save_ids
    set -l tokens (commandline -opc)
    set -l given
    for i in (seq (count $tokens))
        if test "$tokens[$i]" = --history; and test $i -lt (count $tokens)
            set given --history $tokens[(math $i + 1)]
        end
    end
    # id,time,serial_number,result,...: "id<TAB>serial time result".
    korvel-cli $given history list --csv 2>/dev/null | tail -n +2 | tr -d '\r' |
        awk -F, '{print $1 "\t" $3 " " $2 " " $4}'
end

complete -c korvel-cli -f
# Options of every command.
complete -c korvel-cli -l port -r -a '(ls /dev/ttyUSB* /dev/ttyACM* /dev/serial/by-id/* 2>/dev/null)' -d "the logger's serial port"
complete -c korvel-cli -l demo -d 'use a built-in simulated logger'
complete -c korvel-cli -l all-ports -d 'search every serial port, not only USB ones'
complete -c korvel-cli -l trace -r -F -d 'write every byte to a new file; - for standard error'
complete -c korvel-cli -s q -l quiet -d 'no progress messages and no warnings'
complete -c korvel-cli -l history -r -F -d 'the history of saves'
complete -c korvel-cli -l no-history -d 'record no history of this save'
complete -c korvel-cli -l require-history -d 'save nothing unless the attempt is recorded first'
complete -c korvel-cli -l shared-history -x -d 'also send the rows to this PostgreSQL server'
complete -c korvel-cli -l no-shared-history -d 'send nothing to a shared history'
complete -c korvel-cli -s h -l help -d 'show the help'
complete -c korvel-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'print the version'

# The commands.
complete -c korvel-cli -n "not __fish_seen_subcommand_from $commands" -a list -d 'list the serial ports'
complete -c korvel-cli -n "not __fish_seen_subcommand_from $commands" -a read -d 'print every setting of the logger'
complete -c korvel-cli -n "not __fish_seen_subcommand_from $commands" -a write -d 'apply the settings in FILE to the logger'
complete -c korvel-cli -n "not __fish_seen_subcommand_from $commands" -a provision -d 'give every logger found the settings in FILE'
complete -c korvel-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'validate a settings file without a logger'
complete -c korvel-cli -n "not __fish_seen_subcommand_from $commands" -a history -d 'the history of saves'
complete -c korvel-cli -n "not __fish_seen_subcommand_from $commands" -a help -d "the commands, or one command's options"
complete -c korvel-cli -n "__fish_seen_subcommand_from help" -a 'list read write check provision history'

# Each command's own options.
complete -c korvel-cli -n '__fish_seen_subcommand_from list' -l probe -d 'ask each USB serial port whether a logger answers'
complete -c korvel-cli -n '__fish_seen_subcommand_from list read check' -l json -d 'print JSON'
complete -c korvel-cli -n '__fish_seen_subcommand_from read' -l raw -d 'print the parameter block in hex'
complete -c korvel-cli -n '__fish_seen_subcommand_from write check provision' -F -d 'settings file'
complete -c korvel-cli -n '__fish_seen_subcommand_from write' -l dry-run -d 'show what would change; save nothing'
complete -c korvel-cli -n '__fish_seen_subcommand_from write' -l no-verify -d 'do not read the logger back'
complete -c korvel-cli -n '__fish_seen_subcommand_from write' -l set-serial -d "allow the file's serial_number to rename this logger"
complete -c korvel-cli -n '__fish_seen_subcommand_from write' -l clock -x -d "the logger's local time, YYYY-MM-DDTHH:MM:SS"
complete -c korvel-cli -n '__fish_seen_subcommand_from write provision' -l json -d 'print JSON'
complete -c korvel-cli -n '__fish_seen_subcommand_from provision' -l expect -x -d 'fail unless exactly N loggers are found'
complete -c korvel-cli -n '__fish_seen_subcommand_from provision' -l manifest -r -F -d 'CSV of serial_number,trip_information; - for standard input'
complete -c korvel-cli -n '__fish_seen_subcommand_from provision' -l report -r -F -d 'a new .csv or .jsonl file'
complete -c korvel-cli -n '__fish_seen_subcommand_from provision' -l operator -x -a '(__fish_complete_users)' -d 'who provisions'
complete -c korvel-cli -n '__fish_seen_subcommand_from provision' -l watch -d 'provision each logger as it is plugged in'
complete -c korvel-cli -n '__fish_seen_subcommand_from provision' -l allow-unsynced-clock -d 'provision even when the clock is not synchronised'

# history and its commands.
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and not __fish_seen_subcommand_from verify list show sync' -a verify -d 'check that no row was edited or deleted'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and not __fish_seen_subcommand_from verify list show sync' -a list -d 'list the saves, newest first'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and not __fish_seen_subcommand_from verify list show sync' -a show -d 'print the settings one save wrote'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and __fish_seen_subcommand_from verify' -l expect-head -x -d 'a head hash kept from an earlier verify'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and __fish_seen_subcommand_from list' -l csv -d 'print CSV'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and __fish_seen_subcommand_from list' -l since -x -d 'only saves at or after TIME (UTC)'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and __fish_seen_subcommand_from list' -l until -x -d 'only saves before TIME (UTC)'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and __fish_seen_subcommand_from list' -l limit -x -d 'at most N saves, the newest'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and __fish_seen_subcommand_from sync' -l new-bench-id -d 'a new bench id for the rows not yet sent'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and not __fish_seen_subcommand_from verify list show sync' -a sync -d 'send the rows the shared history does not have yet'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and __fish_seen_subcommand_from verify list' -l shared -d 'the shared history on its server'
complete -c korvel-cli -n '__fish_seen_subcommand_from history; and __fish_seen_subcommand_from show' -a '(__korvel_cli_save_ids)'
