# Korvel's field check for a Windows PC with one real logger plugged in.
# Runs korvel-cli through what only real hardware shows: the port list, a read,
# a write of the same settings, an unplug and a replug, and a search with the
# computer's other ports present; writes one text report to send back.
# Usage (in PowerShell, from the folder Korvel is installed in):
#   powershell -ExecutionPolicy Bypass -File field-check.ps1 [-Cli PATH] [-Report PATH]
param(
    [string]$Cli = (Join-Path $PSScriptRoot 'korvel-cli.exe'),
    [string]$Report = (Join-Path ([Environment]::GetFolderPath('Desktop')) `
            ("korvel-field-check-" + (Get-Date -Format 'yyyyMMdd-HHmmss') + '.txt'))
)
$ErrorActionPreference = 'Stop'
$work = Join-Path ([IO.Path]::GetTempPath()) ("korvel-field-check-" + [Guid]::NewGuid())
New-Item -ItemType Directory -Path $work | Out-Null
$utf8 = New-Object System.Text.UTF8Encoding($false)
$lines = New-Object System.Collections.Generic.List[string]
$failures = 0

function Note([string]$text) {
    $lines.Add($text)
    Write-Host $text
}

# Runs korvel-cli with its output taken as UTF-8 (what it writes); notes the
# command, its exit code, its time and its output. Returns the result.
function Invoke-Cli([string]$title, [string[]]$arguments, [int[]]$expect = @(0)) {
    $info = New-Object System.Diagnostics.ProcessStartInfo
    $info.FileName = $Cli
    $info.Arguments = ($arguments | ForEach-Object { '"' + ($_ -replace '"', '\"') + '"' }) -join ' '
    $info.UseShellExecute = $false
    $info.RedirectStandardOutput = $true
    $info.RedirectStandardError = $true
    $info.StandardOutputEncoding = $utf8
    $info.StandardErrorEncoding = $utf8
    $clock = [Diagnostics.Stopwatch]::StartNew()
    $process = [Diagnostics.Process]::Start($info)
    $out = $process.StandardOutput.ReadToEndAsync()
    $err = $process.StandardError.ReadToEndAsync()
    if (-not $process.WaitForExit(120000)) {
        $process.Kill()
        Note "== $title : still running after 120 s, stopped"
        $script:failures++
        return $null
    }
    $clock.Stop()
    $result = [pscustomobject]@{
        Code = $process.ExitCode; Ms = $clock.ElapsedMilliseconds
        Out = $out.Result; Err = $err.Result
    }
    $verdict = if ($expect -contains $result.Code) { 'as expected' } else { $script:failures++; 'NOT as expected' }
    Note ("== $title : korvel-cli " + ($arguments -join ' '))
    Note ("   exit $($result.Code) ($verdict), $($result.Ms) ms")
    foreach ($stream in @($result.Out, $result.Err)) {
        if ($stream) { $stream.TrimEnd() -split "`r?`n" | ForEach-Object { Note "   | $_" } }
    }
    return $result
}

function Wait-User([string]$text) {
    Write-Host ''
    Read-Host "$text, then press Enter" | Out-Null
    Note "-- $text"
}

Note "Korvel field check, $((Get-Date).ToUniversalTime().ToString('yyyy-MM-dd HH:mm:ss')) UTC"
$os = Get-CimInstance Win32_OperatingSystem
Note "Windows: $($os.Caption) $($os.Version) (build $($os.BuildNumber)), code page $([Text.Encoding]::Default.CodePage)"
Invoke-Cli 'version' @('--version') | Out-Null
Note '== serial ports as Device Manager has them (name, driver service, hardware id)'
Get-CimInstance Win32_PnPEntity -Filter "PNPClass='Ports'" | ForEach-Object {
    Note "   | $($_.Name); $($_.Service); $($_.PNPDeviceID); $($_.Manufacturer)"
}

Wait-User 'Plug in one logger (and only one), wait until Windows has set it up'
Invoke-Cli 'the port list' @('list') | Out-Null
$settings = Join-Path $work 'settings.json'
$trace = Join-Path $work 'read-trace.txt'
$read = Invoke-Cli 'read, searching the USB serial ports' @('--trace', $trace, 'read', '--json')
if ($read -and $read.Code -eq 0) {
    [IO.File]::WriteAllText($settings, $read.Out, $utf8)
    Invoke-Cli 'write of the same settings' @('write', $settings) | Out-Null
    Invoke-Cli 'read after the write' @('read') | Out-Null
    Invoke-Cli 'two reads in a row, the second right after the first' @('read') | Out-Null
    Invoke-Cli '' @('read') | Out-Null
} else {
    Note '   the read failed: the write is left out'
}
if (Test-Path $trace) {
    Note '== the first read as it crossed the line (--trace)'
    Get-Content -Encoding UTF8 $trace | ForEach-Object { Note "   | $_" }
}

Wait-User 'Unplug the logger'
Invoke-Cli 'read with the logger unplugged (a clear failure, quickly)' @('read') -expect @(1) | Out-Null
Wait-User 'Plug the logger back in, into another USB socket if there is one'
$back = $false
for ($i = 0; $i -lt 30 -and -not $back; $i++) {
    $again = Invoke-Cli "read after the replug (try $($i + 1))" @('read') -expect @(0, 1)
    $back = $again -and $again.Code -eq 0
    if (-not $back) { Start-Sleep -Seconds 1 }
}
if (-not $back) { $failures++; Note '   the logger was not read again within 30 tries' }
Invoke-Cli 'the port list after the replug' @('list') | Out-Null

Wait-User 'Leave the logger plugged in; plug in any other serial adapters or pair Bluetooth serial devices you have'
Invoke-Cli 'read, searching the USB serial ports' @('read') | Out-Null
Invoke-Cli 'read, searching every serial port (Bluetooth and others too)' @('--all-ports', 'read') -expect @(0, 1, 4) | Out-Null

Note ''
Note "Failures: $failures"
[IO.File]::WriteAllLines($Report, $lines, $utf8)
Remove-Item -Recurse -Force $work
Write-Host ''
Write-Host "The report is $Report; please send it back."
