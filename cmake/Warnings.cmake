# Warnings for our own targets only; third-party sources compiled into a target
# switch them off per file.
function(qm_warnings target)
  # Log lines name source files relative to the project, not the build machine.
  target_compile_options(${target} PRIVATE -fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=
                         -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
                         -Wno-missing-field-initializers $<$<BOOL:${QM_WERROR}>:-Werror>)
endfunction()
