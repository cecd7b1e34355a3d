@echo off
rem Stops the NUT server and drivers that this installation started: the processes whose program
rem lies in its NUT folder, and no other upsd or driver of the machine. Prints one line once they
rem are gone (at most about 2 s): the program ends this script at its first output, and the start
rem scripts that follow must find the port free.
setlocal
call "%~dp0nut_env.bat"
set "NUT_KILL_DIR=%NUT_DIR%\"
powershell -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command "$d = $env:NUT_KILL_DIR; $ours = @(Get-Process -ErrorAction SilentlyContinue | Where-Object { $p = $null; try { $p = $_.Path } catch {}; $p -and $p.StartsWith($d, [StringComparison]::OrdinalIgnoreCase) }); $ours | Stop-Process -Force -ErrorAction SilentlyContinue; $ours | Wait-Process -Timeout 2 -ErrorAction SilentlyContinue" >nul 2>&1
echo NUT stopped
