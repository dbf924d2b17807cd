<#
.SYNOPSIS
Tallowick Server 14 v3 update for one server, with the exit codes of
update.cmd (deploy\README.md).

.DESCRIPTION
Start it as a file, elevated or as SYSTEM:

    powershell.exe -NoProfile -ExecutionPolicy Bypass -File update.ps1 [-PackageDir <folder>] [-SignerThumbprint <thumbprint>]

Without -PackageDir it runs the package that holds it (this script in its
deploy\ folder), else C:\Updates\TallowickServer14v3Update.

setup.exe starts only when its Authenticode signature is valid and, with
-SignerThumbprint, made by that certificate: setup.exe carries the patch's
SHA-256 and runs no other patch, so its signature vouches for the package.

With -Command instead of -File, PowerShell turns every exit code but 0 and
1 into 1. Reads the installed release in the 64-bit registry view, whatever
the bitness of this PowerShell (reg.exe /reg:64), and starts setup.exe only
where it applies. A release is exactly four dot-separated decimal parts;
any other DisplayVersion, an empty one too, is another release (16042).
It calls no .NET type, so it runs under ConstrainedLanguage (AppLocker,
WDAC) as under FullLanguage.

The codes of its own are above Windows' error codes, so that neither
setup.exe nor msiexec can give them:

    0          patched now, or already at 14.0.3.301 or later (not started)
    3010, 1641 patched; a restart is needed (3010) or was started (1641)
    16005      Tallowick Server 14 is not installed (not started)
    16042      another release is installed; this update does not apply (not started)
    16001      setup.exe gave 1 after this script found an eligible release: it
               was ended from outside (a time-out, taskkill) or disagreed; run
               it again
    16003      this script failed: the registry unreadable, no setup.exe, setup.exe
               not validly signed (or not by the given signer), could not be
               started or gave no exit code
    any other  setup.exe's own code

A 1 from powershell.exe itself means the script did not run (a policy
refused it, or the file is not there); setup.exe's own 1 comes after the
line "update.ps1: release ...: starting ...".
#>
param([string]$PackageDir = '', [string]$SignerThumbprint = '')

$ErrorActionPreference = 'Stop'
# Any error not handled below is this script's failure, never a code of setup.exe.
trap {
    Write-Output "update.ps1: $_"
    exit 16003
}

$uninstall = 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
$log = Join-Path $env:SystemRoot 'Logs\TallowickServer14v3Update.log'

# reg.exe, not Microsoft.Win32.RegistryKey: ConstrainedLanguage blocks .NET
# types, and /reg:64 reads the 64-bit view from a 32-bit PowerShell too.
# Windows PowerShell 5.1 turns a native program's redirected error text into
# error records, which 'Stop' would make this script's failure.
$ErrorActionPreference = 'Continue'
& reg.exe query $uninstall /reg:64 *> $null
$readable = $LASTEXITCODE -eq 0
$lines = & reg.exe query "$uninstall\{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}" /v DisplayVersion /reg:64 2> $null
$installed = $LASTEXITCODE -eq 0
$ErrorActionPreference = 'Stop'
if (-not $readable) {
    Write-Output "update.ps1: cannot read $uninstall"
    exit 16003
}
if (-not $installed) {
    Write-Output 'update.ps1: Tallowick Server 14 is not installed'
    exit 16005
}
# "    DisplayVersion    REG_SZ    <text>", the text possibly empty.
$release = ''
foreach ($line in $lines) {
    if ($line -match '^\s+DisplayVersion\s+REG_\w+\s{0,4}(.*)$') { $release = $Matches[1] }
}

if ($release -notin '14.0.1.204', '14.0.2.226') {
    # Exactly four decimal parts and nothing else; compared part by part as numbers.
    if ($release -match '^(\d{1,9})\.(\d{1,9})\.(\d{1,9})\.(\d{1,9})$') {
        $parts = @([long]$Matches[1], [long]$Matches[2], [long]$Matches[3], [long]$Matches[4])
        $patched = @(14, 0, 3, 301)
        $order = 0
        for ($i = 0; $i -lt 4 -and $order -eq 0; $i++) {
            if ($parts[$i] -gt $patched[$i]) { $order = 1 } elseif ($parts[$i] -lt $patched[$i]) { $order = -1 }
        }
        if ($order -ge 0) {
            Write-Output "update.ps1: release $release is installed; already patched"
            exit 0
        }
    }
    Write-Output "update.ps1: release '$release' is installed; this update does not apply to it"
    exit 16042
}

# The package that holds this script (deploy\ inside it), else the usual folder.
# Split-Path and Join-Path stop on an empty path: a script run from a root
# folder, or not from a file, has no package around it.
if (-not $PackageDir) {
    $PackageDir = 'C:\Updates\TallowickServer14v3Update'
    $holder = if ($PSScriptRoot) { Split-Path -Parent $PSScriptRoot } else { '' }
    if ($holder -and (Test-Path -LiteralPath (Join-Path $holder 'setup.exe') -PathType Leaf)) {
        $PackageDir = $holder
    }
}
$setup = Join-Path $PackageDir 'setup.exe'
if (-not (Test-Path -LiteralPath $setup -PathType Leaf)) {
    Write-Output "update.ps1: no setup.exe in $PackageDir"
    exit 16003
}
$signature = Get-AuthenticodeSignature -LiteralPath $setup
$signer = $signature.SignerCertificate
if ($signature.Status -ne 'Valid') {
    Write-Output "update.ps1: setup.exe's signature is $($signature.Status), not Valid: not started"
    exit 16003
}
if ($SignerThumbprint -and $signer.Thumbprint -ne ($SignerThumbprint -replace '\s', '')) {
    Write-Output "update.ps1: setup.exe is signed by $($signer.Subject) ($($signer.Thumbprint)), not by ${SignerThumbprint}: not started"
    exit 16003
}
Write-Output "update.ps1: release ${release}: starting $setup"
try {
    # /l*v+: msiexec appends to its log, so a retry keeps the failed run's log.
    $process = Start-Process -FilePath $setup -WorkingDirectory $PackageDir -Wait -PassThru `
        -ArgumentList '/qn', '/norestart', '/l*v+', "`"$log`""
} catch {
    Write-Output "update.ps1: setup.exe could not be started: $_"
    exit 16003
}
$code = $process.ExitCode
if ($null -eq $code) {
    Write-Output 'update.ps1: setup.exe ended without an exit code'
    exit 16003
}
Write-Output "update.ps1: setup.exe exited with $code"
if ($code -eq 1) {
    # Not "not applicable": this script found an eligible release.
    Write-Output 'update.ps1: setup.exe was ended from outside or disagreed: run it again'
    exit 16001
}
exit $code
