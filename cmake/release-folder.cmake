# cmake -DRELEASE_DIR=DIR -DZIP=FILE -DDEB_DIR=DIR -P release-folder.cmake
# Puts the Windows zip and the Debian package into RELEASE_DIR, nothing
# else, beside SHA256SUMS in the form sha256sum -c reads.
file(GLOB debs ${DEB_DIR}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one Debian package in ${DEB_DIR}, found: ${debs}")
endif()
file(REMOVE_RECURSE ${RELEASE_DIR})
file(MAKE_DIRECTORY ${RELEASE_DIR})
set(sums "")
foreach(path ${ZIP} ${debs})
  get_filename_component(name ${path} NAME)
  file(COPY ${path} DESTINATION ${RELEASE_DIR})
  file(SHA256 ${path} hash)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${RELEASE_DIR}/SHA256SUMS "${sums}")
message(STATUS "Release: ${RELEASE_DIR}")
