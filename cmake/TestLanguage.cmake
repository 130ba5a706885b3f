# The language the tests run in. English is the default: every test gets
# LC_ALL=C.UTF-8 (installed everywhere) and an empty LANGUAGE, so the
# machine's own locale never leaks in. The suites below check the Chinese
# (zh_CN) texts and run with LANGUAGE=zh_CN.
set(LW_ZH_CN_TESTS
  app_document_tests app_project_file_tests
  cli_cli_tests cli_export_cli_tests cli_generator_cli_tests cli_object_edit_cli_tests
  companions_shapes_object_tests
  editing_add_files_action_tests editing_edit_manager_tests editing_frame_actions_tests
  editing_object_commands_tests
  export_html_publish_tests export_video_export_tests
  generators_banner_command_tests generators_effect_performers_tests
  generators_transition_generator_tests)

# lw_test_language(TARGET OUT): OUT = the LANGUAGE value for TARGET's tests
# (lw_tests adds LC_ALL=C.UTF-8 through ENVIRONMENT_MODIFICATION: each of the
# two properties holds one item, as gtest_discover_tests flattens lists).
function(lw_test_language target out)
  if(target IN_LIST LW_ZH_CN_TESTS)
    set(${out} "zh_CN" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()
