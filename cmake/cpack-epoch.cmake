# Read by cpack before it packs: every time stamp in a package is
# SOURCE_DATE_EPOCH, by default the time of the last commit (without git,
# the release date kept in the sources), so that two builds of one commit
# give the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_QSCAN_SOURCE_DIR)
  execute_process(COMMAND git -C "${CPACK_QSCAN_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(failed OR NOT epoch MATCHES "^[0-9]+$")
    set(epoch "${CPACK_QSCAN_RELEASE_EPOCH}")
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
