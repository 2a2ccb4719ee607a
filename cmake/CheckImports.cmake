# Fails the build when a Windows executable imports a DLL that is not part of
# the operating system (for instance libstdc++-6.dll or libwinpthread-1.dll).
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${EXE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
set(allowed kernel32 user32 gdi32 gdiplus wininet ole32 oleaut32 shell32 advapi32
    msvcrt comctl32 comdlg32 dwmapi imm32 ws2_32 msimg32 uxtheme shlwapi bcrypt
    ntdll urlmon winmm version psapi crypt32 secur32 iphlpapi)
foreach(line IN LISTS names)
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  string(REGEX REPLACE "\\.dll$" "" base "${lower}")
  if(base MATCHES "^api-ms-win-")
    continue()
  endif()
  list(FIND allowed ${base} idx)
  if(idx EQUAL -1)
    message(FATAL_ERROR "${EXE} imports ${dll}, which is not a system DLL")
  endif()
endforeach()
