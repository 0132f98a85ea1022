# Runs the demo on a fresh folder and again on the folder it left behind;
# both runs must succeed (the demo checks its running balances itself).
# cmake -DDEMO=<program> -DDIR=<folder> -P run_demo.cmake
file(REMOVE_RECURSE "${DIR}")
foreach(run fresh again)
    execute_process(COMMAND "${DEMO}" "${DIR}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "corvanta-demo failed on the ${run} run (${rc}):\n${out}${err}")
    endif()
    if(NOT out MATCHES "transactionhistory.dbf: [1-9][0-9]* records")
        message(FATAL_ERROR "corvanta-demo printed no history on the ${run} run:\n${out}")
    endif()
    foreach(picture progress-window.png message-window.png grid-window.png controls-speedbutton.png
                    controls-label.png controls-gradient-caption.png controls-message-panel.png controls-hint.png)
        if(NOT EXISTS "${DIR}/${picture}")
            message(FATAL_ERROR "corvanta-demo left no ${picture} on the ${run} run")
        endif()
    endforeach()
    if(NOT out MATCHES "Standing orders leave on the 1st.*Interest 2.75 % a year from March")
        message(FATAL_ERROR "corvanta-demo read no notes back on the ${run} run:\n${out}")
    endif()
endforeach()
