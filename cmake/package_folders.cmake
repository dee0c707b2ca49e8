# Run by CPack on the tree it is about to pack (CPACK_PRE_BUILD_SCRIPTS in CMakeLists.txt). The
# install sets the files' modes, but makes the folders under the packer's umask: each is given
# rwxr-xr-x, so that every packer packs the same bytes, and a tarball unpacked by root leaves
# folders that every user can enter.
file(CHMOD_RECURSE "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
