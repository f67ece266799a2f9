# A bare-metal Cortex-M4 toolchain, for the cross subproject test.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_C_FLAGS_INIT "-mcpu=cortex-m4 -mthumb")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-nostdlib -nostartfiles -Wl,-e,main")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
