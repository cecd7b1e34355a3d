@echo off
rem Stops the NUT server and drivers of the installation. Prints one line once they are gone: the
rem program ends this script at its first output.
taskkill /F /T /IM upsd.exe >nul 2>&1
taskkill /F /T /IM upsdrvctl.exe >nul 2>&1
taskkill /F /T /IM usbhid-ups.exe >nul 2>&1
echo NUT stopped
