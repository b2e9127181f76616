# cmake -DBUILD_DIR=DIR -DSOURCE_DIR=DIR -DNAME=qscan-VERSION-win32
#       -DRELEASE_EPOCH=SECONDS -P windows-zip.cmake
# Packs the Windows build's install tree, stripped, as BUILD_DIR/NAME.zip,
# the same bytes on every machine: entries in a fixed order, fixed
# permissions, no owner and one time for all, SOURCE_DATE_EPOCH (by default
# the last commit's, and without git the release date kept in the sources).
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "")
  execute_process(COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  set(epoch "${RELEASE_EPOCH}")
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no SOURCE_DATE_EPOCH, no commit in ${SOURCE_DIR} and no release date")
endif()

# Staged here and nowhere else, whoever runs this (cpack sets DESTDIR).
# strip writes the time of day into a PE header unless SOURCE_DATE_EPOCH
# says otherwise: 0 keeps the stamp the link left, none.
unset(ENV{DESTDIR})
set(ENV{SOURCE_DATE_EPOCH} 0)
set(stage "${BUILD_DIR}/zip-stage")
file(REMOVE_RECURSE "${stage}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${stage}/${NAME}" --strip
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB entries RELATIVE "${stage}" "${stage}/${NAME}/*")
list(SORT entries)
foreach(entry ${entries})
  if(entry MATCHES "\\.exe$")
    file(CHMOD "${stage}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
         GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  else()
    file(CHMOD "${stage}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  execute_process(COMMAND touch -h -d "@${epoch}" "${stage}/${entry}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# zip keeps local time: UTC everywhere. -X leaves out owners and extra
# times, -D the folder's own entry.
file(REMOVE "${BUILD_DIR}/${NAME}.zip")
execute_process(COMMAND "${CMAKE_COMMAND}" -E env TZ=UTC0 zip -X -D -q -9 "${BUILD_DIR}/${NAME}.zip"
                        ${entries}
                WORKING_DIRECTORY "${stage}" COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Windows zip: ${BUILD_DIR}/${NAME}.zip")
