# The installed hurz runtime: the target hurz::runtime (the static library with its headers, libpng,
# zlib and the Windows libraries it calls).
include(${CMAKE_CURRENT_LIST_DIR}/hurzTargets.cmake)
