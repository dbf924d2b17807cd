@echo off
rem Tallowick Server 14 v3 update for one server, from an elevated prompt, a
rem scheduled task or a deployment agent running as SYSTEM.
rem
rem   update.cmd [package folder]    (default C:\Updates\TallowickServer14v3Update)
rem
rem Reads the installed release in the 64-bit registry view and starts
rem setup.exe only where it applies, quiet and without a restart. Exit codes:
rem   0          patched now, or already at 14.0.3.301 or later (not started)
rem   3010, 1641 patched; a restart is needed (3010) or was started (1641)
rem   1605       Tallowick Server 14 is not installed (not started)
rem   1642       another release is installed; this update does not apply (not started)
rem   1603       this script failed: the registry unreadable, no setup.exe (not started)
rem   any other  setup.exe's own code (deploy\README.md)
rem msiexec's log is appended to, so a retry keeps the failed run's log.
setlocal EnableExtensions DisableDelayedExpansion
set "PKG=%~1"
if not defined PKG set "PKG=C:\Updates\TallowickServer14v3Update"
set "UNINSTALL=HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
set "KEY=%UNINSTALL%\{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}"
set "LOG=%SystemRoot%\Logs\TallowickServer14v3Update.log"

rem The Uninstall key is on every Windows: unreadable means this script failed.
reg query "%UNINSTALL%" /reg:64 >nul 2>&1
if errorlevel 1 (
  echo update.cmd: cannot read %UNINSTALL%
  exit /b 1603
)
rem Test the value first: for a missing one, reg prints an error where the
rem loop below would read it.
reg query "%KEY%" /v DisplayVersion /reg:64 >nul 2>&1
if errorlevel 1 (
  echo update.cmd: Tallowick Server 14 is not installed
  exit /b 1605
)
set "VER="
for /f "tokens=3" %%a in ('reg query "%KEY%" /v DisplayVersion /reg:64') do set "VER=%%a"
if not defined VER (
  echo update.cmd: Tallowick Server 14 is not installed
  exit /b 1605
)
if "%VER%"=="14.0.1.204" goto run
if "%VER%"=="14.0.2.226" goto run

rem 14.0.3.301 or later, compared part by part as numbers.
set "V1=" & set "V2=" & set "V3=" & set "V4="
for /f "tokens=1-4 delims=." %%a in ("%VER%") do (
  set "V1=%%a"
  set "V2=%%b"
  set "V3=%%c"
  set "V4=%%d"
)
if not defined V4 goto other
if %V1% GTR 14 goto patched
if %V1% LSS 14 goto other
if %V2% GTR 0 goto patched
if %V2% LSS 0 goto other
if %V3% GTR 3 goto patched
if %V3% LSS 3 goto other
if %V4% GEQ 301 goto patched
:other
echo update.cmd: release %VER% is installed; this update does not apply to it
exit /b 1642
:patched
echo update.cmd: release %VER% is installed; already patched
exit /b 0

:run
if not exist "%PKG%\setup.exe" (
  echo update.cmd: no setup.exe in %PKG%
  exit /b 1603
)
echo update.cmd: release %VER%: starting %PKG%\setup.exe
rem start /wait: cmd does not wait for a GUI program by itself.
start "" /wait "%PKG%\setup.exe" /qn /norestart /l*v+ "%LOG%"
exit /b %ERRORLEVEL%
