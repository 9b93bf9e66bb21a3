# Native tests of the portable media layer and the media previews over it; included from
# tests/native/CMakeLists.txt.
add_executable(qcd_media_tests
  ${CMAKE_CURRENT_LIST_DIR}/mci_commands_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/media_steps_test.cpp
)
target_link_libraries(qcd_media_tests PRIVATE qcd_media_core qcd_preview_core GTest::gtest_main)
gtest_discover_tests(qcd_media_tests PROPERTIES TIMEOUT 30)
