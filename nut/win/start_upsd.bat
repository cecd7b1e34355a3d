@echo off
rem Starts the local NUT server on the local address of the settings (127.0.0.1:3493 by default),
rem handed off like the driver.
setlocal
call "%~dp0nut_env.bat" write_config
start "" /B cmd /C ""%NUT_DIR%\sbin\upsd.exe" >>"%NUT_LOG%" 2>&1"
echo NUT server starting
