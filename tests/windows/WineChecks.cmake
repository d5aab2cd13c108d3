# The checks of tolvan.dll, its installer and tolvan.exe under Wine, as tests
# of the windows-x64-tests preset beside the unit tests (ctest --preset
# windows-x64-tests; scripts/windows.sh prepares the Wine prefix and runs
# them). Each script of checks/ prints a line per check.
#
# A check that changes what the whole prefix shares (the registry that
# registration writes, the graphics driver, the display) runs alone.

# What the checks compare with, built by other presets: the 32-bit DLL for
# the installer, and the Linux command line whose output tolvan.exe and the
# add-in must equal.
set(TOLVAN_X86_DLL ${PROJECT_SOURCE_DIR}/build/windows-x86/src/windows/tolvan.dll CACHE FILEPATH
    "tolvan.dll of the windows-x86 preset, for the installer")
set(TOLVAN_LINUX_PROGRAM ${PROJECT_SOURCE_DIR}/build/release/src/cli/tolvan CACHE FILEPATH
    "the tolvan program of the release preset, to compare with")
find_program(TOLVAN_XVFB_RUN xvfb-run)

set(checks ${CMAKE_CURRENT_SOURCE_DIR}/checks)
set(dll $<TARGET_FILE:tolvan_addin>)
set(stub $<TARGET_FILE:tolvan_host_stub>)

# wine_check(NAME SCRIPT ARGS... [ALONE]): the script in a folder of its own.
function(wine_check name script)
  set(arguments ${ARGN})
  set(alone FALSE)
  if("ALONE" IN_LIST arguments)
    list(REMOVE_ITEM arguments ALONE)
    set(alone TRUE)
  endif()
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/checks/${name})
  file(MAKE_DIRECTORY ${folder})
  add_test(NAME windows.${name} COMMAND bash ${checks}/${script} ${arguments}
           WORKING_DIRECTORY ${folder})
  set_tests_properties(windows.${name} PROPERTIES RUN_SERIAL ${alone} TIMEOUT 600)
endfunction()

wine_check(DllExports.x64 dll_exports.sh x64 ${dll})
wine_check(DllExports.x86 dll_exports.sh x86 ${TOLVAN_X86_DLL})

# The platform's text conversions through the Windows code page functions.
add_test(NAME windows.TextConversions COMMAND tolvan_windows_text_check)

# The add-in's keyboard, clipboard, registry and settings location, and its
# message boxes on a display of their own when xvfb-run can make one; it
# leaves the registry as it found it.
if(TOLVAN_XVFB_RUN)
  add_test(NAME windows.Services COMMAND ${TOLVAN_XVFB_RUN} -a ${CMAKE_CROSSCOMPILING_EMULATOR}
           $<TARGET_FILE:tolvan_windows_services_check>)
else()
  add_test(NAME windows.Services COMMAND tolvan_windows_services_check)
endif()
set_tests_properties(windows.Services PROPERTIES RUN_SERIAL TRUE)

wine_check(Registration registration.sh ${dll} ALONE)
wine_check(Installer installer.sh ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION} ${dll}
           ${TOLVAN_X86_DLL} ${CMAKE_CURRENT_BINARY_DIR}/tolvan-setup.exe ALONE)

# The host stub registers the DLL while it runs: one at a time, and never
# beside the checks that compare the registry with what it was.
foreach(row
    "HeaderAboveAPropertyLet|clsEmployee.cls|--line 26"
    "ModuleHeaderInTheDeclarations|clsEmployee.cls|--line 16"
    "AddMarkersOnAPlainClick|clsEmployee.cls|--line 27 --end-line 29"
    "DeleteMarkersOnShiftClick|clsEmployee.cls|--line 27 --end-line 29 --shift"
    "ModifyMarkersOnCtrlClick|clsEmployee.cls|--line 27 --end-line 29 --ctrl"
    "NoChangeOnCtrlShiftClick|clsEmployee.cls|--line 27 --end-line 29 --shift --ctrl"
    "HeaderOfATwoLineDeclaration|modCalc.bas|--line 14 --column 5"
    "FormModuleHeaderBelowItsDesigner|frmMain.frm|--line 26")
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 label)
  list(GET fields 1 module)
  list(GET fields 2 position)
  separate_arguments(position UNIX_COMMAND "${position}")
  wine_check(HostStub.${label} host_stub.sh ${stub} ${dll} ${TOLVAN_LINUX_PROGRAM}
             ${PROJECT_SOURCE_DIR} ${module} ${position})
  set_tests_properties(windows.HostStub.${label} PROPERTIES RESOURCE_LOCK wine_registration)
endforeach()
set_tests_properties(windows.Registration windows.Installer PROPERTIES
  RESOURCE_LOCK wine_registration)

foreach(row
    "HeaderAboveAPropertyLet|clsEmployee.cls|--line 26"
    "DeleteMarkersOnShiftClick|clsEmployee.cls|--line 27 --end-line 29 --shift"
    "HeaderOfATwoLineDeclaration|modCalc.bas|--line 14 --column 5"
    "FormModuleHeader|frmMain.frm|--line 26")
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 label)
  list(GET fields 1 module)
  list(GET fields 2 position)
  separate_arguments(position UNIX_COMMAND "${position}")
  wine_check(Exe.${label} exe_comment.sh $<TARGET_FILE:tolvan> ${TOLVAN_LINUX_PROGRAM}
             ${PROJECT_SOURCE_DIR} ${module} ${position})
endforeach()
wine_check(ExeLanguageServer exe_lsp.sh $<TARGET_FILE:tolvan>)

wine_check(DialogSmoke dialog_smoke.sh $<TARGET_FILE:tolvan_dialog_shot> ALONE)
wine_check(ToolsMenuOpensSettings tools_menu.sh ${stub} ${dll} ${PROJECT_SOURCE_DIR}
           ${CMAKE_BINARY_DIR}/settings-from-tools-menu.bmp ALONE)
