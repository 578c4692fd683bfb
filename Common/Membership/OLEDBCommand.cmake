# The OLE DB command wrapper and its consumer classes.
add_library(qarn_oledb_command STATIC
  ${CMAKE_CURRENT_LIST_DIR}/OLEDBCommand.cpp ${CMAKE_CURRENT_LIST_DIR}/OLEDBConsumer.cpp)
target_include_directories(qarn_oledb_command PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/Common)
target_link_libraries(qarn_oledb_command PUBLIC qarn_logging qarn_com ole32 oleaut32 uuid)
