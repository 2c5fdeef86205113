# The layers of source/ point one way: common <- content <- devices <- link
# <- bridge <- app. A file may include headers of its own layer and of the
# layers below it, never of one above. Run as a script:
#   cmake -DSOURCE_DIR=<source folder> [-DSTAMP=<file>] -P CheckLayers.cmake
# It stops with an error naming every include that points upwards, and every
# use below the bridge of the bridge's process-wide pointers (theBridge,
# theFileModel): the lower layers get what they need in their constructors.

cmake_policy(SET CMP0007 NEW)
set(layers common content devices link bridge app)
list(FIND layers bridge bridgeLayer)

file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.h ${SOURCE_DIR}/*.cpp)
set(violations)
foreach(file IN LISTS files)
    string(REGEX MATCH "^[^/]+" layer "${file}")
    list(FIND layers "${layer}" own)
    if(own LESS 0)
        continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][a-z]+/")
    foreach(line IN LISTS includes)
        string(REGEX MATCH "[\"<]([a-z]+)/" unused "${line}")
        list(FIND layers "${CMAKE_MATCH_1}" other)
        if(other GREATER own)
            string(STRIP "${line}" line)
            list(APPEND violations "  source/${file}: ${line}")
        endif()
    endforeach()
    if(own LESS bridgeLayer)
        file(STRINGS ${SOURCE_DIR}/${file} globals REGEX "the(Bridge|FileModel)([^A-Za-z0-9_]|$)")
        foreach(line IN LISTS globals)
            string(STRIP "${line}" line)
            list(APPEND violations "  source/${file}: ${line}")
        endforeach()
    endif()
endforeach()

if(violations)
    list(JOIN violations "\n" text)
    message(FATAL_ERROR "A lower layer includes a header of a higher one or reads the bridge's pointers "
                        "(hand it what it needs in its constructor, the file list as a FirmwareCatalog):\n${text}")
endif()
if(STAMP)
    file(TOUCH ${STAMP})
endif()
