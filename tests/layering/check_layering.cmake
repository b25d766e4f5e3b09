# cmake -DSOURCE_DIR=<project> -P check_layering.cmake
#
# Keeps the layers of src/ apart and the module's register numbers in one header:
# - a file of a folder includes headers of its own folder (by plain name, and the header is
#   there) and of the folders it may use, never of a folder above;
# - the simulator uses nothing of the product but the register map;
# - no register number or tag id of the map appears bare outside the map, in the product, the
#   simulator, the benchmarks and the documentation's programs.
# Every fault is reported, then the script fails.

cmake_minimum_required(VERSION 3.22)

# The folders each folder of src/ may include from, besides its own.
set(allowed_transport "")
set(allowed_model transport)
set(allowed_support "")
set(allowed_widgets "")
set(allowed_session model transport support)
set(allowed_tools widgets model transport session)
set(allowed_panel session tools widgets model support transport)
set(allowed_app panel session tools widgets model support transport)
set(allowed_cli session model support transport)
set(layers transport model support widgets session tools panel app cli)

set(faults "")

# The quoted includes of a file, one "line:target" entry each.
function(quoted_includes file out)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
    set(targets "")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*$" "\\1" target "${line}")
        list(APPEND targets "${target}")
    endforeach()
    set(${out} "${targets}" PARENT_SCOPE)
endfunction()

foreach(layer IN LISTS layers)
    set(dir "${SOURCE_DIR}/src/${layer}")
    if(NOT IS_DIRECTORY "${dir}")
        continue()
    endif()
    file(GLOB files "${dir}/*.h" "${dir}/*.cpp")
    foreach(file IN LISTS files)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
        quoted_includes("${file}" targets)
        foreach(target IN LISTS targets)
            if(NOT target MATCHES "/")
                if(NOT EXISTS "${dir}/${target}" AND NOT target MATCHES "\\.moc$")
                    list(APPEND faults "${shown}: \"${target}\" is no header of src/${layer}")
                endif()
                continue()
            endif()
            string(REGEX MATCH "^[^/]+" folder "${target}")
            if(folder STREQUAL layer)
                list(APPEND faults "${shown}: own header \"${target}\" named with its folder")
            elseif(NOT folder IN_LIST allowed_${layer})
                list(APPEND faults "${shown}: src/${layer} may not include \"${target}\"")
            endif()
        endforeach()
    endforeach()
endforeach()

# Folders of src/ the table above does not know yet.
file(GLOB folders LIST_DIRECTORIES true "${SOURCE_DIR}/src/*")
foreach(folder IN LISTS folders)
    get_filename_component(name "${folder}" NAME)
    if(IS_DIRECTORY "${folder}" AND NOT name IN_LIST layers)
        list(APPEND faults "src/${name}: a folder without a place among the layers")
    endif()
endforeach()

file(GLOB sim_files "${SOURCE_DIR}/sim/*.h" "${SOURCE_DIR}/sim/*.cpp")
foreach(file IN LISTS sim_files)
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
    quoted_includes("${file}" targets)
    foreach(target IN LISTS targets)
        if(target MATCHES "/" AND NOT target STREQUAL "model/register_map.h")
            list(APPEND faults "${shown}: the simulator may not include \"${target}\"")
        endif()
    endforeach()
endforeach()

# The numbers the map names: registers (kReg...), tag ids (kTag...) and the reboot command.
set(map "${SOURCE_DIR}/src/model/register_map.h")
file(STRINGS "${map}" definitions REGEX "inline constexpr int k(Reg|Tag|Command)[A-Za-z0-9]* = ")
set(numbers "")
foreach(definition IN LISTS definitions)
    string(REGEX REPLACE "^.* = ([0-9A-Fa-fx]+);.*$" "\\1" number "${definition}")
    list(APPEND numbers "${number}")
    if(number MATCHES "^0x")
        math(EXPR decimal "${number}")
        list(APPEND numbers "${decimal}")
    endif()
endforeach()
if(NOT numbers)
    list(APPEND faults "${map}: no register numbers found")
endif()
list(JOIN numbers "|" alternatives)
set(bare "(^|[^0-9A-Za-z_.])(${alternatives})($|[^0-9A-Za-z_])")

file(GLOB_RECURSE code
    "${SOURCE_DIR}/src/*.h" "${SOURCE_DIR}/src/*.cpp"
    "${SOURCE_DIR}/sim/*.h" "${SOURCE_DIR}/sim/*.cpp"
    "${SOURCE_DIR}/bench/*.cpp" "${SOURCE_DIR}/docs/*.cpp")
list(REMOVE_ITEM code "${map}")
foreach(file IN LISTS code)
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")
    # Lines as a list: the characters CMake's lists take for their own are replaced first.
    file(READ "${file}" content)
    string(REGEX REPLACE "[][;\\]" " " content "${content}")
    string(REPLACE "\n" ";" lines "${content}")
    set(number 0)
    foreach(line IN LISTS lines)
        math(EXPR number "${number} + 1")
        # Texts shown to the operator may name a register ("регистры 60000+").
        string(REGEX REPLACE "QStringLiteral\\(\"[^\"]*\"\\)" "" checked "${line}")
        if(checked MATCHES "${bare}")
            list(APPEND faults "${shown}:${number}: register number ${CMAKE_MATCH_2} outside the map")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n" report)
    message(FATAL_ERROR "${report}")
endif()
message(STATUS "layers and register numbers in order")
