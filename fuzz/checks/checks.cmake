# The property checks shared by the fuzz targets and the regression tests. Included from both
# places; whichever comes first defines the library.
if(NOT TARGET lilan_fuzz_checks)
    add_library(lilan_fuzz_checks STATIC
        ${CMAKE_CURRENT_LIST_DIR}/charset_checks.cpp
        ${CMAKE_CURRENT_LIST_DIR}/comment_checks.cpp
        ${CMAKE_CURRENT_LIST_DIR}/settings_checks.cpp
        ${CMAKE_CURRENT_LIST_DIR}/text_checks.cpp
        ${CMAKE_CURRENT_LIST_DIR}/sentence_checks.cpp
        ${CMAKE_CURRENT_LIST_DIR}/regex_checks.cpp)
    target_include_directories(lilan_fuzz_checks PUBLIC ${CMAKE_CURRENT_LIST_DIR})
    target_link_libraries(lilan_fuzz_checks PUBLIC lilan_core lilan_config lilan_compose lilan_web lilan_text)
endif()
