# The block diagram: its widget and its pictures.
target_sources(lumeq_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/blockdiagram.h ${CMAKE_CURRENT_LIST_DIR}/blockdiagram.cpp)
include(${PROJECT_SOURCE_DIR}/res/diagram/files.cmake)
qt_add_resources(lumeq_gui "lumeq_diagram" PREFIX "/diagram" BASE ${PROJECT_SOURCE_DIR}/res/diagram
    FILES ${LUMEQ_DIAGRAM_PICTURES})
