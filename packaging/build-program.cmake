# Run by CPack before it installs the files to pack: builds what the package holds (the
# target `program`), and nothing else, in the build folder the package is made from.
execute_process(COMMAND ${CMAKE_COMMAND} --build ${CPACK_GLYPHTINT_BUILD_DIR} --target program
                COMMAND_ERROR_IS_FATAL ANY)
