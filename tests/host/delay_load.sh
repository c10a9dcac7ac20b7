#!/bin/sh
# Links a program through a release package's lib/Kolmar32Keys.lib with
# lld-link and /DELAYLOAD:Kolmar32Keys.dll, as a host built with the Microsoft
# tools does, and runs it under Wine beside the package's DLL: the program
# checks that it has a delay-import directory and that the DLL arrives with
# its first call, not before (delay_load_check.c).
# The delay-load helper, which the Microsoft tools take from delayimp.lib, is
# MinGW-w64's (libmingwex.a), with its one MinGW name pointed at lld's.
# usage: delay_load.sh <unpacked package folder> <work folder> (WINEPREFIX set)
package="$1"
work="$2"
mingw=/usr/x86_64-w64-mingw32/lib
rm -rf "$work"
mkdir -p "$work"
clang --target=x86_64-pc-windows-msvc -ffreestanding -std=c99 -Wall -Wextra -pedantic -Werror \
    -I"$package/include" -c "$(dirname "$0")/delay_load_check.c" -o "$work/delay_load_check.obj" ||
    exit 1
lld-link /nologo /nodefaultlib /entry:mainCRTStartup /subsystem:console \
    /out:"$work/delay_load_check.exe" "$work/delay_load_check.obj" "$package/lib/Kolmar32Keys.lib" \
    /delayload:Kolmar32Keys.dll /alternatename:__image_base__=__ImageBase \
    "$mingw/libkernel32.a" "$mingw/libmingwex.a" || exit 1
cp "$package/Kolmar32Keys.dll" "$work/"
WINEDEBUG=-all wine "$work/delay_load_check.exe" </dev/null
status=$?
case $status in
0) echo "delay load: Kolmar32Keys.dll loaded on its first call" ;;
1) echo "FAIL delay load: no delay-import directory; lld-link took Kolmar32Keys.lib as a plain import" ;;
2) echo "FAIL delay load: Kolmar32Keys.dll loaded before its first call" ;;
3) echo "FAIL delay load: the delay-loaded call failed" ;;
4) echo "FAIL delay load: Kolmar32Keys.dll was not loaded by its first call" ;;
*) echo "FAIL delay load: the program ended with $status" ;;
esac
[ $status -eq 0 ]
