# The Windows GUI tests: the client's windows, tray icon, tray menu, hotkey, popup and update
# dialog on wine's desktop under Xvfb (tests/windows_gui/run.sh), labels "windows" and
# "wine_desktop": it starts a desktop of its own, so it runs beside the tests that need none.
# The program carries the client's resources.
set(SONGDECK_WINDOWS_GUI_TESTS
    tests/windows_gui/windows_gui_main.cpp
    tests/windows_gui/client_windows_test.cpp
    tests/windows_gui/update_dialog_win32_test.cpp
    tests/unit/hermetic_folders.cpp)
add_executable(songdeck_windows_gui_tests ${SONGDECK_WINDOWS_GUI_TESTS})
songdeck_add_client_resources(songdeck_windows_gui_tests)
target_include_directories(songdeck_windows_gui_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(songdeck_windows_gui_tests PRIVATE songdeck_system gtest ${SONGDECK_DELAY_IMPORT_LIBS})
add_test(NAME windows_gui
    COMMAND ${CMAKE_SOURCE_DIR}/tests/windows_gui/run.sh ${CMAKE_BINARY_DIR}/wine-prefix-gui
            $<TARGET_FILE:songdeck_windows_gui_tests>)
# Each desktop walk runs alone: beside other wine tests, its timing (the tray tip, the slide)
# suffers on a 2-core machine.
set_tests_properties(windows_gui PROPERTIES LABELS "windows;wine_desktop" TIMEOUT 420 RUN_SERIAL TRUE)
# The windows on a screen at 150 %: each at its logical size times the scale.
add_test(NAME windows_gui_150
    COMMAND ${CMAKE_COMMAND} -E env SONGDECK_WINE_LOGPIXELS=144 SONGDECK_GUI_SCREEN=1920x1200
            ${CMAKE_SOURCE_DIR}/tests/windows_gui/run.sh ${CMAKE_BINARY_DIR}/wine-prefix-gui-150
            $<TARGET_FILE:songdeck_windows_gui_tests>
            --gtest_filter=ClientWindows.PageWindows*:ClientWindows.OptionWindow*:ClientWindows.Popup*:UpdateDialogWin32.*)
set_tests_properties(windows_gui_150 PROPERTIES LABELS "windows;wine_desktop" TIMEOUT 420 RUN_SERIAL TRUE)
