<#
.SYNOPSIS
Tallowick Server 14 v3 update for one server, with the exit codes of
update.cmd (deploy\README.md).

.DESCRIPTION
Start it as a file, elevated or as SYSTEM:

    powershell.exe -NoProfile -ExecutionPolicy Bypass -File update.ps1 [-PackageDir <folder>]

With -Command instead of -File, PowerShell turns every exit code but 0 and
1 into 1. Reads the installed release in the 64-bit registry view, whatever
the bitness of this PowerShell, and starts setup.exe only where it applies.

    0          patched now, or already at 14.0.3.301 or later (not started)
    3010, 1641 patched; a restart is needed (3010) or was started (1641)
    1605       Tallowick Server 14 is not installed (not started)
    1642       another release is installed; this update does not apply (not started)
    1603       this script failed: the registry unreadable, no setup.exe, no exit code
    any other  setup.exe's own code
#>
param([string]$PackageDir = 'C:\Updates\TallowickServer14v3Update')

$ErrorActionPreference = 'Stop'
# Any error not handled below is this script's failure, never "not applicable" (1).
trap {
    Write-Output "update.ps1: $_"
    exit 1603
}

$uninstall = 'SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
$log = Join-Path $env:SystemRoot 'Logs\TallowickServer14v3Update.log'

try {
    $hklm = [Microsoft.Win32.RegistryKey]::OpenBaseKey('LocalMachine', 'Registry64')
    $entries = $hklm.OpenSubKey($uninstall)
    if (-not $entries) { throw "cannot read HKLM\$uninstall" }
    $product = $entries.OpenSubKey('{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}')
    $release = if ($product) { [string]$product.GetValue('DisplayVersion') } else { '' }
} catch {
    Write-Output "update.ps1: cannot read the installed release: $_"
    exit 1603
}

if (-not $release) {
    Write-Output 'update.ps1: Tallowick Server 14 is not installed'
    exit 1605
}
if ($release -notin '14.0.1.204', '14.0.2.226') {
    $parsed = $null
    if ([version]::TryParse($release, [ref]$parsed) -and $parsed -ge [version]'14.0.3.301') {
        Write-Output "update.ps1: release $release is installed; already patched"
        exit 0
    }
    Write-Output "update.ps1: release $release is installed; this update does not apply to it"
    exit 1642
}

$setup = Join-Path $PackageDir 'setup.exe'
if (-not (Test-Path -LiteralPath $setup -PathType Leaf)) {
    Write-Output "update.ps1: no setup.exe in $PackageDir"
    exit 1603
}
Write-Output "update.ps1: release ${release}: starting $setup"
try {
    # /l*v+: msiexec appends to its log, so a retry keeps the failed run's log.
    $process = Start-Process -FilePath $setup -WorkingDirectory $PackageDir -Wait -PassThru `
        -ArgumentList '/qn', '/norestart', '/l*v+', "`"$log`""
} catch {
    Write-Output "update.ps1: setup.exe could not be started: $_"
    exit 1603
}
$code = $process.ExitCode
if ($null -eq $code) {
    Write-Output 'update.ps1: setup.exe ended without an exit code'
    exit 1603
}
Write-Output "update.ps1: setup.exe exited with $code"
exit $code
