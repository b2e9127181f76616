# Read by cpack before it packs: every time stamp in a package is
# SOURCE_DATE_EPOCH, by default the time of the last commit, so that two
# builds of one commit give the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_QSCAN_SOURCE_DIR)
  execute_process(COMMAND git -C "${CPACK_QSCAN_SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  if(NOT failed AND epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  endif()
endif()
