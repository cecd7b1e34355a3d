@echo off
rem Shared by the NUT scripts of the installation (called, not run). NUT reads the configuration
rem shipped in win\etc and keeps its state (pid files, log) in the user's settings folder:
rem <application folder>\AmperlaneSettings\<profile folder name>\nut.
set "NUT_DIR=%~dp0x86_64-w64-mingw32-nut-server"
for %%I in ("%USERPROFILE%") do set "NUT_HOME_NAME=%%~nxI"
set "NUT_STATE_DIR=%~dp0..\AmperlaneSettings\%NUT_HOME_NAME%\nut"
set "NUT_CONFPATH=%~dp0etc"
set "NUT_STATEPATH=%NUT_STATE_DIR%"
set "NUT_ALTPIDPATH=%NUT_STATE_DIR%"
set "NUT_LOG=%NUT_STATE_DIR%\nut.log"
if not exist "%NUT_STATE_DIR%" mkdir "%NUT_STATE_DIR%"
