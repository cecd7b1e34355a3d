@echo off
rem Starts the NUT driver of the local station (UPS nutdev1 unless the settings name another).
rem upsdrvctl prints while the driver is still coming up and the program ends this script at its
rem first output, so upsdrvctl runs in a process of its own with its output in the log.
setlocal
call "%~dp0nut_env.bat" write_config
start "" /B cmd /C ""%NUT_DIR%\sbin\upsdrvctl.exe" start %NUT_UPS_NAME% >>"%NUT_LOG%" 2>&1"
echo NUT driver starting
