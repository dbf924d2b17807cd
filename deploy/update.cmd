@echo off
rem Tallowick Server 14 v3 update for one server, from an elevated prompt, a
rem scheduled task or a deployment agent running as SYSTEM.
rem
rem   update.cmd [package folder]
rem
rem Without a folder it runs the package that holds it (deploy\ inside it),
rem else C:\Updates\TallowickServer14v3Update.
rem
rem Reads the installed release in the 64-bit registry view and starts
rem setup.exe only where it applies, quiet and without a restart. Exit codes
rem (this script's own are above Windows' error codes, so that neither
rem setup.exe nor msiexec can give them):
rem   0          patched now, or already at 14.0.3.301 or later (not started, unless
rem              a killed run left the stale folders aside: then started to settle them)
rem   3010, 1641 patched; a restart is needed (3010) or was started (1641)
rem   16002      patched, but the stale folders a killed run left aside are still
rem              there after setup.exe ran to settle them (its record says why)
rem   16010      a restart is pending from another change: restart first (not started)
rem   16005      Tallowick Server 14 is not installed (not started)
rem   16042      another release is installed; this update does not apply (not started):
rem              any DisplayVersion but four dot-separated decimal parts, empty too
rem   16001      setup.exe gave 1 after this script found an eligible release: it
rem              was ended from outside (a time-out, taskkill) or disagreed; run it
rem              again: the next run settles what it left
rem   16003      this script failed: the registry unreadable, no setup.exe, or
rem              setup.exe could not be started
rem   any other  setup.exe's own code (deploy\README.md)
rem msiexec's log is appended to, so a retry keeps the failed run's log.
setlocal EnableExtensions DisableDelayedExpansion
rem Read with delayed expansion off, so that a "!" in the folder stays.
set "PKG=%~1"
if not defined PKG for %%d in ("%~dp0..") do if exist "%%~fd\setup.exe" set "PKG=%%~fd"
if not defined PKG set "PKG=C:\Updates\TallowickServer14v3Update"
set "UNINSTALL=HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
set "KEY=%UNINSTALL%\{5B1E9C47-2A83-4D6F-9E05-71C4A8D2B39F}"
set "LOG=%SystemRoot%\Logs\TallowickServer14v3Update.log"
rem Kept, one line per start; cmd's own error text goes to NEW, then to it.
set "STARTS=%SystemRoot%\Logs\TallowickServer14v3Update.start.txt"
set "ERRS=%SystemRoot%\Logs\TallowickServer14v3Update.start.new"
rem What a killed setup.exe left aside, recorded by it.
set "ASIDE=HKLM\SOFTWARE\Tallowick\Tallowick Server\14.0\v3 Update"

rem The Uninstall key is on every Windows: unreadable means this script failed.
reg query "%UNINSTALL%" /reg:64 >nul 2>&1
if errorlevel 1 (
  echo update.cmd: cannot read %UNINSTALL%
  exit /b 16003
)
rem Test the value first: for a missing one, reg prints an error where the
rem loop below would read it.
reg query "%KEY%" /v DisplayVersion /reg:64 >nul 2>&1
if errorlevel 1 (
  echo update.cmd: Tallowick Server 14 is not installed
  exit /b 16005
)
rem The whole value, blanks and all, possibly empty: reg's line is
rem "DisplayVersion REG_SZ <text>". The text is only ever a loop variable,
rem never parsed as commands.
set "VER="
for /f "tokens=1,2,*" %%a in ('reg query "%KEY%" /v DisplayVersion /reg:64') do (
  if /i "%%a"=="DisplayVersion" set "VER=%%c"
)
rem Its first four parts, read again with the dot and the blank as
rem delimiters; below, they must make the whole text again.
set "V1=" & set "V2=" & set "V3=" & set "V4="
for /f "tokens=1,3-6 delims=. " %%a in ('reg query "%KEY%" /v DisplayVersion /reg:64') do (
  if /i "%%a"=="DisplayVersion" (
    set "V1=%%b"
    set "V2=%%c"
    set "V3=%%d"
    set "V4=%%e"
  )
)
rem From here on the folder and the release are only expanded late (!PKG!,
rem !VER!): cmd has parsed the line by then, so "&", ")" or "^" in them are
rem text, never commands.
setlocal EnableDelayedExpansion
set "SETTLE="
if "!VER!"=="14.0.1.204" goto pending
if "!VER!"=="14.0.2.226" goto pending

rem 14.0.3.301 or later, compared part by part as numbers. Exactly four
rem parts that make the whole text again, each a plain number, or another
rem release (IF would compare text as text): set /a reads a named variable's
rem text as a number.
if not defined VER goto other
if not "!V1!.!V2!.!V3!.!V4!"=="!VER!" goto other
set "BAD="
for %%p in (V1 V2 V3 V4) do call :number %%p
if defined BAD goto other
if !V1! GTR 14 goto patched
if !V1! LSS 14 goto other
if !V2! GTR 0 goto patched
if !V2! LSS 0 goto other
if !V3! GTR 3 goto patched
if !V3! LSS 3 goto other
if !V4! GEQ 301 goto patched
:other
echo update.cmd: release "!VER!" is installed; this update does not apply to it
exit /b 16042
:patched
rem A killed run's msiexec may have patched the server after setup.exe was
rem ended: the stale folders then still wait aside, and setup.exe removes them.
call :aside
if not defined SETTLE (
  echo update.cmd: release !VER! is installed; already patched
  exit /b 0
)
echo update.cmd: release !VER! is installed; a killed run left the stale folders aside

:pending
rem Never on top of another change's restart: files it replaces at start-up
rem (PendingFileRenameOperations) could undo the patch's.
set "WAIT="
reg query "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Component Based Servicing\RebootPending" /reg:64 >nul 2>&1
if not errorlevel 1 set "WAIT=Component Based Servicing"
reg query "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\WindowsUpdate\Auto Update\RebootRequired" /reg:64 >nul 2>&1
if not errorlevel 1 set "WAIT=Windows Update"
reg query "HKLM\SYSTEM\CurrentControlSet\Control\Session Manager" /v PendingFileRenameOperations /reg:64 >nul 2>&1
if not errorlevel 1 set "WAIT=files to replace at start-up"
if defined WAIT (
  echo update.cmd: a restart is pending from another change ^(!WAIT!^): restart first; not started
  exit /b 16010
)
if not exist "!PKG!\setup.exe" (
  echo update.cmd: no setup.exe in "!PKG!"
  exit /b 16003
)
rem cmd writes to standard error only when it cannot start setup.exe (a GUI
rem program, which writes none); its error level is then 9009 or a Windows
rem error that setup.exe could give too. A redirection that fails skips the
rem start and leaves error level 1: the file must be there afterwards.
del "%ERRS%" >nul 2>&1
if exist "%ERRS%" (
  echo update.cmd: cannot replace %ERRS%
  exit /b 16003
)
echo update.cmd: release !VER!: starting "!PKG!\setup.exe"
echo %DATE% %TIME% release !VER!: starting "!PKG!\setup.exe">>"%STARTS%"
rem From a batch file cmd waits for a GUI program, and the error level is its
rem exit code (start /wait would show a box where nobody can answer it).
"!PKG!\setup.exe" /qn /norestart /l*v+ "%LOG%" 2>"%ERRS%"
set "CODE=!ERRORLEVEL!"
if not exist "%ERRS%" (
  echo update.cmd: cannot write %ERRS%
  exit /b 16003
)
type "%ERRS%">>"%STARTS%"
echo %DATE% %TIME% setup.exe exited with !CODE!>>"%STARTS%"
for /f "usebackq delims=" %%l in ("%ERRS%") do (
  echo update.cmd: setup.exe could not be started: %%l
  exit /b 16003
)
if defined SETTLE (
  call :aside
  if not defined SETTLE (
    echo update.cmd: the stale folders a killed run left aside are settled
    exit /b 0
  )
  if not "!CODE!"=="1" exit /b !CODE!
  echo update.cmd: the stale folders a killed run left aside are still there: see setup.exe's record
  exit /b 16002
)
rem Not "not applicable": this script found an eligible release.
if "!CODE!"=="1" (
  echo update.cmd: setup.exe was ended from outside or disagreed: run it again
  exit /b 16001
)
exit /b !CODE!

rem Sets SETTLE while setup.exe's record holds a folder left aside or the
rem installer a killed run started.
:aside
set "SETTLE="
for %%v in (twk.v3update-aside admin-console.v3update-aside msiexec) do (
  reg query "%ASIDE%" /v %%v /reg:64 >nul 2>&1
  if not errorlevel 1 set "SETTLE=1"
)
goto :eof

rem Sets BAD unless the variable named %1 holds a plain number.
:number
set "N="
set /a "N=%1" >nul 2>&1
if not "!N!"=="!%1!" set "BAD=1"
goto :eof
