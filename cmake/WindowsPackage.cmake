# The Windows package: the filter, our runtime for Wine, the host program to try them with, how
# to install them, the licence and the notices of what is inside (FFmpeg's version and source
# among them), in one zip file (WINDOWS_PACKAGE), one for each architecture.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PACKAGE_BITS 64)
  # (configure_file turns line ends into CR LF only where the template has them.)
  set(PACKAGE_HOSTS "For 64-bit hosts that load file filters through the same 17 exports.\r
An editor that is a 32-bit program loads only the 32-bit package's filter.")
else()
  set(PACKAGE_BITS 32)
  set(PACKAGE_HOSTS "For the audio editor, a 32-bit program, on 32-bit or 64-bit Windows.")
endif()
set(WINDOWS_PACKAGE ${CMAKE_BINARY_DIR}/wmafilter-${PROJECT_VERSION}-win${PACKAGE_BITS}.zip)
set(package_dir ${CMAKE_BINARY_DIR}/package)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows-package-readme.txt ${package_dir}/README.txt
               NEWLINE_STYLE CRLF)
configure_file(${CMAKE_CURRENT_LIST_DIR}/windows-package-notices.txt ${package_dir}/NOTICES.txt
               NEWLINE_STYLE CRLF)
# (The licence's text holds no @ for configure_file to take for a variable.)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${package_dir}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(
  OUTPUT ${WINDOWS_PACKAGE}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:wmafilter> $<TARGET_FILE:wmvcore>
          $<TARGET_FILE:filterhost> .
  COMMAND ${CMAKE_COMMAND} -E rm -f ${WINDOWS_PACKAGE}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${WINDOWS_PACKAGE} --format=zip
          README.txt NOTICES.txt LICENSE.txt wmafilter.dll wmvcore.dll filterhost.exe
  WORKING_DIRECTORY ${package_dir}
  DEPENDS wmafilter wmvcore filterhost ${package_dir}/README.txt ${package_dir}/NOTICES.txt
          ${package_dir}/LICENSE.txt
  COMMENT "Packing ${WINDOWS_PACKAGE}")
add_custom_target(windows_package ALL DEPENDS ${WINDOWS_PACKAGE})
