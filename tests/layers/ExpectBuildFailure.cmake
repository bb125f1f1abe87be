execute_process(
  COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET} --config ${CONFIG}
  OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE result)
if(result EQUAL 0)
  message(FATAL_ERROR "${TARGET} built: its layer reaches what it must not")
endif()
if(NOT output MATCHES "${EXPECTED}")
  message(FATAL_ERROR "${TARGET} failed to build, but not on '${EXPECTED}':\n${output}")
endif()
