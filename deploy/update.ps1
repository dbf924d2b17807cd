<#
.SYNOPSIS
Tallowick Server 14 v3 update for one server, with the exit codes of
update.cmd (deploy\README.md).

.DESCRIPTION
Start it as a file, elevated or as SYSTEM:

    powershell.exe -NoProfile -ExecutionPolicy Bypass -File update.ps1 [-PackageDir <folder>] [-SignerThumbprint <thumbprint>]

setup.exe starts only when its Authenticode signature is valid and, with
-SignerThumbprint, made by that certificate: setup.exe carries the patch's
SHA-256 and runs no other patch, so its signature vouches for the package.

With -Command instead of -File, PowerShell turns every exit code but 0 and
1 into 1. Reads the installed release in the 64-bit registry view, whatever
the bitness of this PowerShell, and starts setup.exe only where it applies.

The codes of its own are above Windows' error codes, so that neither
setup.exe nor msiexec can give them:

    0          patched now, or already at 14.0.3.301 or later (not started)
    3010, 1641 patched; a restart is needed (3010) or was started (1641)
    16005      Tallowick Server 14 is not installed (not started)
    16042      another release is installed; this update does not apply (not started)
    16003      this script failed: the registry unreadable, no setup.exe, setup.exe
               not validly signed (or not by the given signer), could not be
               started or gave no exit code
    any other  setup.exe's own code

A 1 from powershell.exe itself means the script did not run (a policy
refused it, or the file is not there); setup.exe's own 1 comes after the
line "update.ps1: release ...: starting ...".
#>
param([string]$PackageDir = 'C:\Updates\TallowickServer14v3Update', [string]$SignerThumbprint = '')

$ErrorActionPreference = 'Stop'
# Any error not handled below is this script's failure, never a code of setup.exe.
trap {
    Write-Output "update.ps1: $_"
    exit 16003
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
    exit 16003
}

if (-not $release) {
    Write-Output 'update.ps1: Tallowick Server 14 is not installed'
    exit 16005
}
if ($release -notin '14.0.1.204', '14.0.2.226') {
    $parsed = $null
    if ([version]::TryParse($release, [ref]$parsed) -and $parsed -ge [version]'14.0.3.301') {
        Write-Output "update.ps1: release $release is installed; already patched"
        exit 0
    }
    Write-Output "update.ps1: release $release is installed; this update does not apply to it"
    exit 16042
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
exit $code
