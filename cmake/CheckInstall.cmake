# Installs the build into PREFIX and fails when a file a user needs is missing.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
    RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed")
endif()
foreach(file
        bin/tunecrest bin/tunecrest-rip share/tunecrest/mp3enc.dll
        share/applications/tunecrest.desktop
        share/icons/hicolor/scalable/apps/tunecrest.svg
        share/tunecrest/help/index.html share/man/man1/tunecrest.1 share/man/man1/tunecrest-rip.1)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
# Data files stay out of the programs' folder.
if(EXISTS ${PREFIX}/bin/mp3enc.dll)
    message(FATAL_ERROR "the skin was installed into bin/, not share/tunecrest/")
endif()
file(REMOVE_RECURSE ${PREFIX})
