#!/usr/bin/env bash
# The administrator's guide run as written against the test server: every
# shell command and SQL statement of its indented blocks about the database,
# the script and the logins, in order, by a role with CREATEDB and CREATEROLE
# (not a superuser), into a database of its own; then the script run again
# over a database set up by the script before it (the upgrade the guide
# gives), and what a bench login may and may not do there.
#
#   guide-steps.sh GUIDE SCRIPT FIRST_SCRIPT PG_DIR
#
# FIRST_SCRIPT: the script as the first release shipped it.
set -euo pipefail
guide=$1
script=$2
first=$3
dir=$4
. "$dir/env"
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
export PGHOST PGPORT
run=guide$$
admin() { "$bin/psql" -X -q -v ON_ERROR_STOP=1 -U "$ADMIN" "$@"; }
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The guide's administrator: CREATEDB and CREATEROLE, no superuser.
admin -d postgres -c "CREATE ROLE ${run}_it LOGIN CREATEDB CREATEROLE PASSWORD 'it-secret'"
pass=$(mktemp)
trap 'rm -f "$pass"; admin -d postgres -c "DROP DATABASE IF EXISTS ${run}" >/dev/null 2>&1 || true' EXIT
{
    echo "*:*:*:${run}_it:it-secret"
    echo "*:*:*:${run}_bench:bench-secret"
} >"$pass"
chmod 600 "$pass"
export PGPASSFILE=$pass PGUSER=${run}_it

# The commands as the guide gives them: the database named korvel becomes
# this run's, the installed script the one of the source tree, and
# \password (which asks at a terminal) a password given in place.
steps=0
while IFS= read -r line; do
    command=${line#    }
    command=${command//\/usr\/share\/korvel\/korvel-shared-history.sql/$script}
    case $command in
    createdb\ korvel)
        "$bin/createdb" "$run" || fail "$command"
        ;;
    psql\ *)
        command=${command/-d korvel/-d $run}
        eval "\"$bin/\"$command" >/dev/null || fail "$command"
        ;;
    CREATE\ ROLE\ *)
        command=${command//bench_packing_2/${run}_bench}
        "$bin/psql" -X -q -v ON_ERROR_STOP=1 -d "$run" -c "${command//korvel_admin_alice/${run}_owner}" ||
            fail "$command"
        ;;
    \\password\ *)
        role=${command#\\password }
        role=${role//bench_packing_2/${run}_bench}
        role=${role//korvel_admin_alice/${run}_owner}
        secret=bench-secret
        [[ $role == "${run}_bench" ]] || secret=owner-secret
        "$bin/psql" -X -q -v ON_ERROR_STOP=1 -d "$run" -c "ALTER ROLE $role PASSWORD '$secret'" ||
            fail "$command"
        ;;
    *) continue ;;
    esac
    steps=$((steps + 1))
done < <(grep -E '^    (createdb |psql |CREATE ROLE |\\password )' "$guide")
[ "$steps" -ge 6 ] || fail "only $steps of the guide's steps found"

# A bench login appends and reads, and may create nothing in public.
bench=("$bin/psql" -X -q -At -v ON_ERROR_STOP=1 -U "${run}_bench" -d "$run")
"${bench[@]}" -c "SELECT count(*) FROM korvel.saves" >/dev/null || fail "a bench cannot read"
if "${bench[@]}" -c "CREATE FUNCTION public.clock_timestamp() RETURNS timestamptz LANGUAGE sql AS 'SELECT now()'" 2>/dev/null; then
    fail "a bench may create functions in public"
fi

# Run again, the script brings a database of the older script up to date
# and keeps its rows.
admin -d postgres -c "CREATE DATABASE ${run}_old" >/dev/null
trap 'rm -f "$pass"; admin -d postgres -c "DROP DATABASE IF EXISTS ${run}" -c "DROP DATABASE IF EXISTS ${run}_old" >/dev/null 2>&1 || true' EXIT
admin -d "${run}_old" -f "$first" >/dev/null
admin -d "${run}_old" -c "INSERT INTO korvel.saves (bench_id, bench_name, local_id, local_hash, kind, time) VALUES ('b', 'n', 1, 'h', 'attempt', 't')" >/dev/null
admin -d "${run}_old" -f "$script" >/dev/null 2>&1 || fail "the script did not run again over the older one"
[ "$(admin -At -d "${run}_old" -c "SELECT count(*) || ' ' || bool_and(korvel.row_hash(s) = hash) FROM korvel.saves s")" = "1 true" ] ||
    fail "the upgrade lost or changed a row"
[ "$(admin -At -d "${run}_old" -c "SELECT login FROM korvel.benches WHERE bench_id = 'b'")" = "$ADMIN" ] ||
    fail "the upgrade did not bind the bench id to its login"
echo "the guide's $steps steps ran as written; the script upgrades an older database"
