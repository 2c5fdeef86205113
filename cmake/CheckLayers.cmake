# The layers of source/ point one way: common <- content <- devices <- link
# <- bridge <- app. A file may include headers of its own layer and of the
# layers below it, never of one above. Run as a script:
#   cmake -DSOURCE_DIR=<source folder> [-DSTAMP=<file>] -P CheckLayers.cmake
# It stops with an error naming every include that points upwards.

set(layers common content devices link bridge app)

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
endforeach()

if(violations)
    list(JOIN violations "\n" text)
    message(FATAL_ERROR "A lower layer includes a header of a higher one "
                        "(reach the bridge through SystemServices, the file list through FirmwareCatalog):\n${text}")
endif()
if(STAMP)
    file(TOUCH ${STAMP})
endif()
