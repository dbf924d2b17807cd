<#
.SYNOPSIS
Tallowick Server 14 v3 update for one server, with the exit codes of
update.cmd (deploy\README.md).

.DESCRIPTION
Start it as a file, elevated or as SYSTEM:

    powershell.exe -NoProfile -ExecutionPolicy Bypass -File update.ps1 -SignerThumbprint <thumbprint> [-PackageDir <folder>] [-StopServices <name>,<name>]

Without -PackageDir it runs the package that holds it (this script in its
deploy\ folder), else C:\Updates\TallowickServer14v3Update.

setup.exe starts only when its Authenticode signature is valid and made by
the certificate -SignerThumbprint names (the vendor's: deploy\README.md,
"The signer"): setup.exe carries the patch's SHA-256 and runs no other
patch, so its signature vouches for the package. Without a thumbprint it
starts nothing, unless -AnySigner says that any valid signature will do.

-StopServices names services of the server to stop before setup.exe and to
start again after it, whatever its code: only those that were running. A
server runs from the stale folders, which cannot be moved while it holds
them (setup.exe's 170). A service that does not stop within
-ServiceTimeoutSeconds (120) ends the run before setup.exe with 16020, the
services it stopped started again.

Before setup.exe it reads Windows' marks of a restart pending from another
change (Component Based Servicing, Windows Update, and
PendingFileRenameOperations, the files Windows replaces at the next start,
which could undo the patch's): with any of them it starts nothing (16010).

With -Command instead of -File, PowerShell turns every exit code but 0 and
1 into 1. Reads the installed release in the 64-bit registry view, whatever
the bitness of this PowerShell (reg.exe /reg:64), and starts setup.exe only
where it applies. A release is exactly four dot-separated decimal parts;
any other DisplayVersion, an empty one too, is another release (16042).
It calls no .NET type, so it runs under ConstrainedLanguage (AppLocker,
WDAC) as under FullLanguage.

The codes of its own are above Windows' error codes, so that neither
setup.exe nor msiexec can give them:

    0          patched now, or already at 14.0.3.301 or later (not started,
               unless a killed run left the stale folders aside: then started
               to settle them)
    3010, 1641 patched; a restart is needed (3010) or was started (1641)
    16002      patched, but the stale folders a killed run left aside are
               still there after setup.exe ran to settle them (its record says why)
    16010      a restart is pending from another change: restart first (not started)
    16020      a service named in -StopServices did not stop (not started)
    16005      Tallowick Server 14 is not installed (not started)
    16042      another release is installed; this update does not apply (not started)
    16001      setup.exe gave 1 after this script found an eligible release: it
               was ended from outside (a time-out, taskkill) or disagreed; run
               it again: the next run settles what it left
    16003      this script failed: no -SignerThumbprint (nor -AnySigner), the
               registry unreadable, no setup.exe, setup.exe not validly signed
               or not by the given signer, could not be started or gave no
               exit code
    any other  setup.exe's own code

A 1 from powershell.exe itself means the script did not run (a policy
refused it, or the file is not there); setup.exe's own 1 comes after the
line "update.ps1: release ...: starting ...".
#>
param([string]$PackageDir = '', [string]$SignerThumbprint = '', [switch]$AnySigner,
    [string[]]$StopServices = @(), [int]$ServiceTimeoutSeconds = 120)

$ErrorActionPreference = 'Stop'
# Any error not handled below is this script's failure, never a code of setup.exe.
trap {
    Write-Output "update.ps1: $_"
    exit 16003
}

if (-not $SignerThumbprint -and -not $AnySigner) {
    Write-Output ('update.ps1: give -SignerThumbprint <the vendor''s certificate> ' +
        '(deploy\README.md, "The signer"), or -AnySigner to accept any valid signature: not started')
    exit 16003
}
$uninstall = 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
# What a killed setup.exe left aside, recorded by it.
$aside = 'HKLM\SOFTWARE\Tallowick\Tallowick Server\14.0\v3 Update'
$log = Join-Path $env:SystemRoot 'Logs\TallowickServer14v3Update.log'

# reg.exe, not Microsoft.Win32.RegistryKey: ConstrainedLanguage blocks .NET
# types, and /reg:64 reads the 64-bit view from a 32-bit PowerShell too.
# Windows PowerShell 5.1 turns a native program's redirected error text into
# error records, which 'Stop' would make this script's failure.
function Test-Registry([string]$Key, [string]$Value = '') {
    $ErrorActionPreference = 'Continue'
    if ($Value) { & reg.exe query $Key /v $Value /reg:64 *> $null } else { & reg.exe query $Key /reg:64 *> $null }
    $LASTEXITCODE -eq 0
}
# True while setup.exe's record holds a folder left aside, or the installer a killed run started.
function Test-LeftAside {
    foreach ($value in 'twk.v3update-aside', 'admin-console.v3update-aside', 'msiexec') {
        if (Test-Registry $aside $value) { return $true }
    }
    $false
}
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

$settle = $false
if ($release -notin '14.0.1.204', '14.0.2.226') {
    # Exactly four decimal parts and nothing else; compared part by part as numbers.
    if ($release -match '^(\d{1,9})\.(\d{1,9})\.(\d{1,9})\.(\d{1,9})$') {
        $parts = @([long]$Matches[1], [long]$Matches[2], [long]$Matches[3], [long]$Matches[4])
        $patched = @(14, 0, 3, 301)
        $order = 0
        for ($i = 0; $i -lt 4 -and $order -eq 0; $i++) {
            if ($parts[$i] -gt $patched[$i]) { $order = 1 } elseif ($parts[$i] -lt $patched[$i]) { $order = -1 }
        }
        # A killed run's msiexec may have patched the server after setup.exe
        # was ended: the stale folders then still wait aside, and setup.exe removes them.
        $settle = $order -ge 0 -and (Test-LeftAside)
        if ($order -ge 0 -and -not $settle) {
            Write-Output "update.ps1: release $release is installed; already patched"
            exit 0
        }
    }
    if (-not $settle) {
        Write-Output "update.ps1: release '$release' is installed; this update does not apply to it"
        exit 16042
    }
    Write-Output "update.ps1: release $release is installed; a killed run left the stale folders aside"
}

# Never on top of another change's restart: files it replaces at start-up could undo the patch's.
$marks = @(
    @('HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Component Based Servicing\RebootPending', '', 'Component Based Servicing'),
    @('HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\WindowsUpdate\Auto Update\RebootRequired', '', 'Windows Update'),
    @('HKLM\SYSTEM\CurrentControlSet\Control\Session Manager', 'PendingFileRenameOperations', 'files to replace at start-up'))
$waiting = @($marks | Where-Object { Test-Registry $_[0] $_[1] } | ForEach-Object { $_[2] })
if ($waiting) {
    Write-Output "update.ps1: a restart is pending from another change ($($waiting -join ', ')): restart first; not started"
    exit 16010
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
if (-not $AnySigner -and $signer.Thumbprint -ne ($SignerThumbprint -replace '\s', '')) {
    Write-Output "update.ps1: setup.exe is signed by $($signer.Subject) ($($signer.Thumbprint)), not by ${SignerThumbprint}: not started"
    exit 16003
}
# The services named, in order, that were running: stopped now, started
# again after setup.exe whatever it did. One that will not stop ends the run.
$stopped = @()
function Start-Stopped {
    if (-not $stopped) { return }
    foreach ($name in $stopped[($stopped.Count - 1)..0]) {
        try { Start-Service -Name $name -ErrorAction Stop; Write-Output "update.ps1: started $name again" }
        catch { Write-Output "update.ps1: could not start $name again: $_" }
    }
}
foreach ($name in $StopServices) {
    $service = Get-Service -Name $name -ErrorAction SilentlyContinue
    if (-not $service -or $service.Status -ne 'Running') { continue }
    $stopped += $name
    try { Stop-Service -Name $name -Force -NoWait -ErrorAction Stop } catch { }
    # Stop-Service alone waits without end for a service that hangs.
    $deadline = (Get-Date).AddSeconds($ServiceTimeoutSeconds)
    while ((Get-Service -Name $name).Status -ne 'Stopped' -and (Get-Date) -lt $deadline) { Start-Sleep -Seconds 2 }
    if ((Get-Service -Name $name).Status -ne 'Stopped') {
        Write-Output "update.ps1: service $name did not stop within $ServiceTimeoutSeconds s: not started"
        Start-Stopped
        exit 16020
    }
    Write-Output "update.ps1: stopped $name"
}

Write-Output "update.ps1: release ${release}: starting $setup"
try {
    # /l*v+: msiexec appends to its log, so a retry keeps the failed run's log.
    $process = Start-Process -FilePath $setup -WorkingDirectory $PackageDir -Wait -PassThru `
        -ArgumentList '/qn', '/norestart', '/l*v+', "`"$log`""
} catch {
    Write-Output "update.ps1: setup.exe could not be started: $_"
    Start-Stopped
    exit 16003
}
Start-Stopped
$code = $process.ExitCode
if ($null -eq $code) {
    Write-Output 'update.ps1: setup.exe ended without an exit code'
    exit 16003
}
Write-Output "update.ps1: setup.exe exited with $code"
if ($settle) {
    if (-not (Test-LeftAside)) {
        Write-Output 'update.ps1: the stale folders a killed run left aside are settled'
        exit 0
    }
    if ($code -ne 1) { exit $code }
    Write-Output "update.ps1: the stale folders a killed run left aside are still there: see setup.exe's record"
    exit 16002
}
if ($code -eq 1) {
    # Not "not applicable": this script found an eligible release.
    Write-Output 'update.ps1: setup.exe was ended from outside or disagreed: run it again'
    exit 16001
}
exit $code
