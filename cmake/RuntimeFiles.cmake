# The folders the tool reads next to its executable, laid out in bin/ at build
# time exactly as they are installed:
#   licence/      licence_<language>.txt, shown in the program information, and
#                 the licence texts they refer to
#   device/       production.ini and the firmware shipped with the tool
#   translation/  the *.qm files (filled by the translation build)
#   help/         the manuals (docs/CMakeLists.txt)
#
# LUMORAN_PRODUCTION_DIR names a folder with a production.ini and the firmware
# files it lists; without it the tool ships the empty production.ini of device/.

set(LUMORAN_PRODUCTION_DIR "" CACHE PATH
    "Folder with production.ini and the firmware files to ship (empty: ship no firmware)")

set(runtime_dir ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
file(MAKE_DIRECTORY ${runtime_dir}/translation)

set(runtime_files)
function(lumoran_copy_runtime_file source target)
    add_custom_command(OUTPUT ${target}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${target}
        DEPENDS ${source}
        COMMENT "Copying ${target}"
        VERBATIM)
    set(runtime_files ${runtime_files} ${target} PARENT_SCOPE)
endfunction()

foreach(file licence_en_GB.txt licence_de_DE.txt LGPL-3.txt GPL-3.txt)
    lumoran_copy_runtime_file(${PROJECT_SOURCE_DIR}/licence/${file} ${runtime_dir}/licence/${file})
endforeach()

if(LUMORAN_PRODUCTION_DIR)
    set(production_dir ${LUMORAN_PRODUCTION_DIR})
else()
    set(production_dir ${PROJECT_SOURCE_DIR}/device)
endif()
if(NOT EXISTS ${production_dir}/production.ini)
    message(FATAL_ERROR "${production_dir} holds no production.ini")
endif()
file(GLOB production_files CONFIGURE_DEPENDS LIST_DIRECTORIES false RELATIVE ${production_dir} ${production_dir}/*)
foreach(file IN LISTS production_files)
    lumoran_copy_runtime_file(${production_dir}/${file} ${runtime_dir}/device/${file})
endforeach()

add_custom_target(lumoran_runtime_files ALL DEPENDS ${runtime_files})
