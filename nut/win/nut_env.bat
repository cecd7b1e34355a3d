@echo off
rem Shared by the NUT scripts of the installation (called, not run). "call nut_env.bat" sets the
rem paths and the local server's UPS name and address; "call nut_env.bat write_config" also writes
rem the configuration NUT reads. NUT reads its configuration and keeps its state (pid files, log)
rem in the user's settings folder: <application folder>\AmperlaneSettings\<profile folder name>\nut.
for %%I in ("%~dp0..") do set "NUT_APP_DIR=%%~fI"
set "NUT_DIR=%~dp0x86_64-w64-mingw32-nut-server"
for %%I in ("%USERPROFILE%") do set "NUT_HOME_NAME=%%~nxI"
set "NUT_USER_DIR=%NUT_APP_DIR%\AmperlaneSettings\%NUT_HOME_NAME%"
set "NUT_STATE_DIR=%NUT_USER_DIR%\nut"
set "NUT_CONFPATH=%NUT_STATE_DIR%\etc"
set "NUT_STATEPATH=%NUT_STATE_DIR%"
set "NUT_ALTPIDPATH=%NUT_STATE_DIR%"
set "NUT_LOG=%NUT_STATE_DIR%\nut.log"
if not exist "%NUT_CONFPATH%" mkdir "%NUT_CONFPATH%"

rem The local server's UPS name, host and port come from the user's settings, as the program
rem queries them (the keys of [connectModeParam] in settings.ini, which no other group has). A key
rem that is missing or empty, or whose value holds anything but letters, digits and ". _ - :",
rem leaves the default: the value goes into NUT's configuration and command lines, which run with
rem the program's rights. So a value is only handled as a FOR variable (written behind an "x" to a
rem check file) until a FOR whose delimiters are the allowed characters has found nothing else in
rem it. The same steps stand three times: Wine's cmd, which the tests use, neither finds the labels
rem of a called script nor substitutes a FOR variable in a nested FOR's text.
set "NUT_UPS_NAME=nutdev1"
set "NUT_LISTEN_HOST=127.0.0.1"
set "NUT_LISTEN_PORT=3493"
set "nut_settings=%NUT_USER_DIR%\settings.ini"
if not exist "%nut_settings%" set "nut_settings=nul"
set "nut_check=%NUT_STATE_DIR%\setting.check"

if exist "%nut_check%" del "%nut_check%"
for /f "usebackq tokens=1,* delims==" %%A in ("%nut_settings%") do if /i "%%A"=="localUpsName" >"%nut_check%" echo x%%B
set "nut_bad="
set "nut_value=x"
if exist "%nut_check%" for /f "usebackq delims=abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._:-" %%R in ("%nut_check%") do set "nut_bad=1"
if exist "%nut_check%" if not defined nut_bad for /f "usebackq delims=" %%V in ("%nut_check%") do set "nut_value=%%V"
if not "%nut_value%"=="x" set "NUT_UPS_NAME=%nut_value:~1%"

if exist "%nut_check%" del "%nut_check%"
for /f "usebackq tokens=1,* delims==" %%A in ("%nut_settings%") do if /i "%%A"=="localNutIP" >"%nut_check%" echo x%%B
set "nut_bad="
set "nut_value=x"
if exist "%nut_check%" for /f "usebackq delims=abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._:-" %%R in ("%nut_check%") do set "nut_bad=1"
if exist "%nut_check%" if not defined nut_bad for /f "usebackq delims=" %%V in ("%nut_check%") do set "nut_value=%%V"
if not "%nut_value%"=="x" set "NUT_LISTEN_HOST=%nut_value:~1%"

if exist "%nut_check%" del "%nut_check%"
for /f "usebackq tokens=1,* delims==" %%A in ("%nut_settings%") do if /i "%%A"=="localNutPort" >"%nut_check%" echo x%%B
set "nut_bad="
set "nut_value=x"
if exist "%nut_check%" for /f "usebackq delims=abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._:-" %%R in ("%nut_check%") do set "nut_bad=1"
if exist "%nut_check%" if not defined nut_bad for /f "usebackq delims=" %%V in ("%nut_check%") do set "nut_value=%%V"
if not "%nut_value%"=="x" set "NUT_LISTEN_PORT=%nut_value:~1%"
if exist "%nut_check%" del "%nut_check%"
if /i not "%~1"=="write_config" exit /b 0

rem The configuration NUT reads: the shipped files with the settings' UPS name and address.
set "nut_conf=%NUT_CONFPATH%\ups.conf"
>"%nut_conf%" echo # Written by the NUT scripts of the installation from win\etc\ups.conf.
>>"%nut_conf%" echo maxretry = 3
>>"%nut_conf%" echo [%NUT_UPS_NAME%]
type "%~dp0etc\ups.conf" >>"%nut_conf%"
set "nut_conf=%NUT_CONFPATH%\upsd.conf"
type "%~dp0etc\upsd.conf" >"%nut_conf%"
>>"%nut_conf%" echo LISTEN %NUT_LISTEN_HOST% %NUT_LISTEN_PORT%
copy /y "%~dp0etc\upsd.users" "%NUT_CONFPATH%\upsd.users" >nul
exit /b 0
