<#
.SYNOPSIS
Creates the Configuration Manager application of the Tallowick Server 14 v3
update, with its detection script, its requirement and its return codes
(deploy\README.md). Configuration Manager 2107 or later. The deployment
type runs deploy\update.cmd, so that a pending restart, a killed run's
folders and the wrappers' codes are as on every other route.

.DESCRIPTION
Run it in the Configuration Manager console's PowerShell, from the site
drive (PS XYZ:\>), as an administrator of the site:

    .\New-TallowickUpdateApplication.ps1 -ContentLocation \\server\share\TallowickServer14v3Update

ContentLocation is the unpacked package folder (setup.exe, SHA256SUMS, Files,
deploy) on a share the site server can read. The script does not deploy the
application: deploy it to a server collection with maintenance windows,
as deploy\README.md says, so that no server restarts outside them.

MaximumRuntimeMins must be shorter than the shortest maintenance window of
that collection: Configuration Manager does not start a deployment type
whose maximum run time does not fit in the window. Take the longest run of
setup.exe on a pilot server (AppEnforce.log) twice over, at least 15. It
does not end setup.exe: past it the client stops waiting and reports the
deployment failed, while setup.exe and msiexec run on to their end; the
next evaluation's detection then finds the server patched or not.

Run again, it changes nothing: it stops before it creates anything when the
application exists, or when a global condition of that name reads another
key or value, and removes what it made when a step fails.
#>
param(
    [Parameter(Mandatory = $true)][string]$ContentLocation,
    [string]$ApplicationName = 'Tallowick Server 14 v3 update',
    [ValidateRange(15, 720)][int]$MaximumRuntimeMins = 30
)

$ErrorActionPreference = 'Stop'

$key = 'SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}'
$log = 'C:\Windows\Logs\TallowickServer14v3Update.log'

# Installed: DisplayVersion 14.0.3.301 or later, compared as a version, and
# no stale folder a killed run left aside (setup.exe's record under
# v3 Update): a server its msiexec patched after setup.exe was ended still
# needs a run, which settles them. A detection script writes something only
# when installed. The client runs it as a 64-bit process, where the
# server's uninstall entry is; it calls no .NET method, for
# ConstrainedLanguage.
$detection = @'
$entry = Get-ItemProperty -LiteralPath 'HKLM:\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}' -ErrorAction SilentlyContinue
$aside = Get-ItemProperty -LiteralPath 'HKLM:\SOFTWARE\Tallowick\Tallowick Server\14.0\v3 Update' -ErrorAction SilentlyContinue
$left = $aside -and ($aside.'twk.v3update-aside' -or $aside.'admin-console.v3update-aside' -or $aside.msiexec)
if ($entry.DisplayVersion -match '^\d{1,9}\.\d{1,9}\.\d{1,9}\.\d{1,9}$' -and
    [version]$entry.DisplayVersion -ge [version]'14.0.3.301' -and -not $left) { 'Installed' }
'@

# Applies: DisplayVersion exactly one of the eligible releases, or the
# patched one (a killed run's folders to settle; otherwise detected as
# installed), as text: a release in between (14.0.2.300) never runs
# setup.exe to fail at every evaluation. Without -Is64Bit a registry global
# condition reads the 32-bit view, where no server has the value, and the
# application never runs.
$conditionName = 'Tallowick Server 14 release, as text'
if (Get-CMApplication -Name $ApplicationName -Fast) {
    throw "An application named '$ApplicationName' exists: nothing was created. Remove it " +
        '(Remove-CMApplication) or pass another -ApplicationName.'
}
$condition = Get-CMGlobalCondition -Name $conditionName
if ($condition) {
    # Reused only when it reads the same value the same way; a condition of
    # that name made for something else would let the application run where
    # it does not apply, or never.
    $xml = [xml]$condition.SDMPackageXML
    $source = $xml.SelectSingleNode("//*[local-name()='RegistryDiscoverySource']")
    $setting = $xml.SelectSingleNode("//*[local-name()='SimpleSetting']")
    $same = $source -and $setting -and $source.Hive -eq 'HKEY_LOCAL_MACHINE' -and
        $source.Is64Bit -eq 'true' -and $source.Key -eq $key -and
        $source.ValueName -eq 'DisplayVersion' -and $setting.DataType -eq 'String'
    if (-not $same) {
        throw "A global condition named '$conditionName' exists and does not read " +
            "DisplayVersion of HKLM\$key, 64-bit, as text: nothing was created. Rename it."
    }
}

$made = @()
try {
    if (-not $condition) {
        $condition = New-CMGlobalConditionRegistryValue -Name $conditionName -DeviceType Windows `
            -RegistryHive LocalMachine -Is64Bit $true -KeyName $key -ValueName DisplayVersion `
            -DataType String
        $made += { Remove-CMGlobalCondition -Name $conditionName -Force }
    }
    $requirement = $condition | New-CMRequirementRuleCommonValue -RuleOperator OneOf `
        -Value1 '14.0.1.204', '14.0.2.226', '14.0.3.301'

    New-CMApplication -Name $ApplicationName -Publisher 'Tallowick' -SoftwareVersion '14.0.3.301' |
        Out-Null
    $made = @({ Remove-CMApplication -Name $ApplicationName -Force }) + $made

    # As SYSTEM, hidden, whether or not a user is logged on: update.cmd runs
    # setup.exe with /qn /norestart /l*v+ (no box, none could be seen there; a
    # retry keeps the log of the run before). Restarts follow the return
    # codes: 3010 is a soft reboot, which the deployment keeps inside
    # maintenance windows.
    Add-CMScriptDeploymentType -ApplicationName $ApplicationName -DeploymentTypeName 'setup.exe' `
        -ContentLocation $ContentLocation `
        -InstallCommand 'cmd.exe /c deploy\update.cmd' `
        -ScriptLanguage PowerShell -ScriptText $detection -AddRequirement $requirement `
        -InstallationBehaviorType InstallForSystem -LogonRequirementType WhetherOrNotUserLoggedOn `
        -UserInteractionMode Hidden -RebootBehavior BasedOnExitCode `
        -MaximumRuntimeMins $MaximumRuntimeMins | Out-Null

    # A Script Installer type starts with 0 Success, 3010 Soft Reboot, 1641 Hard
    # Reboot and 1618 Fast Retry (1707 belongs to the Windows Installer type).
    # setup.exe adds 32 and 33, another program holding the package or
    # SHA256SUMS: retry later. Every other code is a failure; the ones whose
    # cure is known are named, so that the console says what to do.
    $type = Get-CMDeploymentType -ApplicationName $ApplicationName -DeploymentTypeName 'setup.exe'
    $codes = @(
        @(32, 'FastRetry', 'Package held', 'Another program held the patch package or SHA256SUMS'),
        @(33, 'FastRetry', 'Package locked', 'Another program locked the patch package or SHA256SUMS'),
        @(170, 'Failure', 'Stale folder held', "The server's own programs hold a stale folder: stop the server's services (setup.exe's record names them), never a blind retry"),
        @(183, 'Failure', 'Aside name taken', 'Something setup.exe did not put there is at a stale folder''s aside name: look at it (setup.exe''s record names it)'),
        @(16001, 'Failure', 'setup.exe ended from outside', 'setup.exe was ended (MaximumRuntimeMins, taskkill) after an eligible release was found: the next run settles what it left'),
        @(16002, 'Failure', 'Stale folders left aside', "The stale folders a killed run left aside are still there after setup.exe ran to settle them: see setup.exe's record"),
        @(16003, 'Failure', 'Wrapper failed', 'update.cmd could not read the registry, find setup.exe or start it'),
        @(16005, 'Failure', 'Not installed', 'Tallowick Server 14 is not installed'),
        @(16010, 'Failure', 'Restart pending', 'A restart is pending from another change: restart the server; the next evaluation runs the update'),
        @(16042, 'Failure', 'Another release', 'The installed release is not one this update applies to'))
    foreach ($code in $codes) {
        Add-CMDeploymentTypeReturnCode -InputObject $type -ReturnCode $code[0] -CodeType $code[1] `
            -Name $code[2] -Description $code[3]
    }
} catch {
    # Whatever this run made goes again, so that the next run starts clean;
    # an undo that fails is said and the others still run, and the error
    # that stopped the run is the one thrown.
    $first = $_
    foreach ($undo in $made) {
        try { & $undo } catch { Write-Warning "Could not undo ($undo): $_" }
    }
    throw $first
}

Write-Output "Created '$ApplicationName'. Distribute its content, then deploy it to a server"
Write-Output 'collection with maintenance windows (deploy\README.md).'
