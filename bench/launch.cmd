@echo off
rem The same job as DriverSetup.exe done by a batch file, for the benchmark to compare.
if exist "%SystemRoot%\SysWOW64\" (
    start "" "Drive\amd64\QZDrvPrep_x64.exe" /I Drive\Tavix\amd64\quenusb.inf
) else (
    start "" "Drive\i386\QZDrvPrep_x86.exe" /I Drive\Tavix\x86\quenusb.inf
)
