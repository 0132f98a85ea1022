# Runs the demo on a fresh folder named by its whole path, again on the folder
# it left behind named from its parent (as `make demo` names ./demo-data), and
# once where the statement it links is a folder: the first two must succeed
# (the demo checks its running balances itself), the last must end naming its
# step and the file.
# cmake -DDEMO=<program> -DDIR=<folder> -P run_demo.cmake
file(REMOVE_RECURSE "${DIR}")
get_filename_component(parent "${DIR}" DIRECTORY)
get_filename_component(name "${DIR}" NAME)
foreach(run fresh again)
    if(run STREQUAL "fresh")
        execute_process(COMMAND "${DEMO}" "${DIR}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    else()
        execute_process(COMMAND "${DEMO}" "${name}" WORKING_DIRECTORY "${parent}"
                        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    endif()
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "corvanta-demo failed on the ${run} run (${rc}):\n${out}${err}")
    endif()
    if(NOT out MATCHES "transactionhistory.dbf: [1-9][0-9]* records")
        message(FATAL_ERROR "corvanta-demo printed no history on the ${run} run:\n${out}")
    endif()
    foreach(picture progress-window.png message-window.png grid-window.png controls-speedbutton.png
                    controls-label.png controls-gradient-caption.png controls-message-panel.png controls-hint.png
                    controls-dateedit.png controls-calendar.png controls-calendar-grid.png
                    richedit-preview.png object-properties-dialog.png links-dialog.png colour-combo.png
                    folder-dialog.png)
        if(NOT EXISTS "${DIR}/${picture}")
            message(FATAL_ERROR "corvanta-demo left no ${picture} on the ${run} run")
        endif()
    endforeach()
    if(NOT out MATCHES "Standing orders leave on the 1st.*Interest 2.75 % a year from March")
        message(FATAL_ERROR "corvanta-demo read no notes back on the ${run} run:\n${out}")
    endif()
endforeach()

set(broken "${DIR}-broken")
file(REMOVE_RECURSE "${broken}")
file(MAKE_DIRECTORY "${broken}/statement.txt")
execute_process(COMMAND "${DEMO}" "${broken}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE_RECURSE "${broken}")
if(rc EQUAL 0 OR NOT err MATCHES "corvanta-demo: drawing the rich edit with the statement \\([^)]*/statement.txt\\): ")
    message(FATAL_ERROR "corvanta-demo did not name the step and the file that failed (${rc}):\n${out}${err}")
endif()
