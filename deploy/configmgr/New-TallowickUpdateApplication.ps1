<#
.SYNOPSIS
Creates the Configuration Manager application of the Tallowick Server 14 v3
update, with its detection clause, its requirement and its return codes
(deploy\README.md). Configuration Manager 2107 or later.

.DESCRIPTION
Run it in the Configuration Manager console's PowerShell, from the site
drive (PS XYZ:\>), as an administrator of the site:

    .\New-TallowickUpdateApplication.ps1 -ContentLocation \\server\share\TallowickServer14v3Update

ContentLocation is the unpacked package folder (setup.exe, SHA256SUMS, Files)
on a share the site server can read. The script does not deploy the
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

# Installed: DisplayVersion, read as a version, 14.0.3.301 or later, in the
# 64-bit view (-Is64Bit), where the server's uninstall entry is.
$detection = New-CMDetectionClauseRegistryKeyValue -Hive LocalMachine -Is64Bit `
    -KeyName $key -ValueName DisplayVersion -PropertyType Version -Value `
    -ExpressionOperator GreaterEquals -ExpectedValue '14.0.3.301'

# Applies: DisplayVersion, read as a version, 14.0.1.204 or later, so that
# a server the patch has updated still meets it and counts as installed,
# never as "not applicable" beside servers without the product. setup.exe
# itself refuses a release it does not apply to. Without -Is64Bit a
# registry global condition reads the 32-bit view, where no server has the
# value, and the application never runs.
$conditionName = 'Tallowick Server 14 release, as a version'
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
        $source.ValueName -eq 'DisplayVersion' -and $setting.DataType -eq 'Version'
    if (-not $same) {
        throw "A global condition named '$conditionName' exists and does not read " +
            "DisplayVersion of HKLM\$key, 64-bit, as a version: nothing was created. Rename it."
    }
}

$made = @()
try {
    if (-not $condition) {
        $condition = New-CMGlobalConditionRegistryValue -Name $conditionName -DeviceType Windows `
            -RegistryHive LocalMachine -Is64Bit $true -KeyName $key -ValueName DisplayVersion `
            -DataType Version
        $made += { Remove-CMGlobalCondition -Name $conditionName -Force }
    }
    $requirement = $condition | New-CMRequirementRuleCommonValue -RuleOperator GreaterEquals `
        -Value1 '14.0.1.204'

    New-CMApplication -Name $ApplicationName -Publisher 'Tallowick' -SoftwareVersion '14.0.3.301' |
        Out-Null
    $made = @({ Remove-CMApplication -Name $ApplicationName -Force }) + $made

    # As SYSTEM, hidden, whether or not a user is logged on: /qn asks for no box
    # and none could be seen there. /l*v+ appends, so a retry keeps the log of
    # the run before. Restarts follow the return codes: 3010 is a soft reboot,
    # which the deployment keeps inside maintenance windows.
    Add-CMScriptDeploymentType -ApplicationName $ApplicationName -DeploymentTypeName 'setup.exe' `
        -ContentLocation $ContentLocation `
        -InstallCommand "setup.exe /qn /norestart /l*v+ $log" `
        -AddDetectionClause $detection -AddRequirement $requirement `
        -InstallationBehaviorType InstallForSystem -LogonRequirementType WhetherOrNotUserLoggedOn `
        -UserInteractionMode Hidden -RebootBehavior BasedOnExitCode `
        -MaximumRuntimeMins $MaximumRuntimeMins | Out-Null

    # A Script Installer type starts with 0 Success, 3010 Soft Reboot, 1641 Hard
    # Reboot and 1618 Fast Retry (1707 belongs to the Windows Installer type).
    # setup.exe adds 32 and 33, another program holding the package or
    # SHA256SUMS: retry later. Every other code is a failure.
    $type = Get-CMDeploymentType -ApplicationName $ApplicationName -DeploymentTypeName 'setup.exe'
    Add-CMDeploymentTypeReturnCode -InputObject $type -ReturnCode 32 -CodeType FastRetry `
        -Name 'Package held' -Description 'Another program held the patch package or SHA256SUMS'
    Add-CMDeploymentTypeReturnCode -InputObject $type -ReturnCode 33 -CodeType FastRetry `
        -Name 'Package locked' -Description 'Another program locked the patch package or SHA256SUMS'
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
