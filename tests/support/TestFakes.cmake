# File systems for tests (in memory, and one failing a chosen call), kept
# out of the product: the test programs link them through
# tolvan_test_support, the fuzz targets directly.
add_library(tolvan_test_fakes STATIC ${CMAKE_CURRENT_LIST_DIR}/MemoryFileSystem.cpp
            ${CMAKE_CURRENT_LIST_DIR}/FaultyFileSystem.cpp)
target_link_libraries(tolvan_test_fakes PUBLIC tolvan_platform tolvan_settings)
target_include_directories(tolvan_test_fakes PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
