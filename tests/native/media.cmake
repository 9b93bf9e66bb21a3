# Native tests of the portable media layer; included from tests/native/CMakeLists.txt.
add_executable(qcd_media_tests
  ${CMAKE_CURRENT_LIST_DIR}/mci_commands_test.cpp
)
target_link_libraries(qcd_media_tests PRIVATE qcd_media_core GTest::gtest_main)
gtest_discover_tests(qcd_media_tests PROPERTIES TIMEOUT 30)
