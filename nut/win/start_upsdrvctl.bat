@echo off
rem Starts the NUT driver of the local station (UPS nutdev1). upsdrvctl prints while the driver is
rem still coming up and the program ends this script at its first output, so upsdrvctl runs in a
rem process of its own with its output in the log.
setlocal
call "%~dp0nut_env.bat"
start "" /B cmd /C ""%NUT_DIR%\sbin\upsdrvctl.exe" start nutdev1 >>"%NUT_LOG%" 2>&1"
echo NUT driver starting
