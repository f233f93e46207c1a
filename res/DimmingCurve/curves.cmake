# Dimming-curve files shipped with the program. The program looks for them in the folder DimmingCurve
# next to its executable, so every build of lumeq-config copies them there.
set(LUMEQ_CURVE_FILES
    "${CMAKE_CURRENT_LIST_DIR}/1-10V low-end lift.dc"
    "${CMAKE_CURRENT_LIST_DIR}/Identity.dc"
    "${CMAKE_CURRENT_LIST_DIR}/Square law driver.dc")

add_custom_command(TARGET lumeq-config POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory "$<TARGET_FILE_DIR:lumeq-config>/DimmingCurve"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${LUMEQ_CURVE_FILES} "$<TARGET_FILE_DIR:lumeq-config>/DimmingCurve/"
    COMMENT "Copying the dimming-curve files next to lumeq-config"
    VERBATIM)
