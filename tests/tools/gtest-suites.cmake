# Read by ctest before it runs or lists the tests: one test a GoogleTest
# suite of a test program, each suite's rows in one Wine process (a process
# a row spent nearly all the time starting Wine). The program lists its
# suites once a build; --output-on-failure shows a failing row by name.
# Given by the program's include file: program, executable, emulator,
# work_folder, free_suites (those that change nothing another process of
# the prefix reads: they run beside everything; the rest hold the lock).
if(NOT EXISTS "${executable}")
    add_test("${program}_NOT_BUILT" "${program}_NOT_BUILT")
    return()
endif()
set(listing "${executable}.suites")
if(NOT EXISTS "${listing}" OR "${executable}" IS_NEWER_THAN "${listing}")
    execute_process(COMMAND "${emulator}" "${executable}" --gtest_list_tests
                    OUTPUT_VARIABLE output RESULT_VARIABLE status TIMEOUT 120)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${program} --gtest_list_tests failed (${status}):\n${output}")
    endif()
    file(WRITE "${listing}" "${output}")
endif()
# A suite's line is its name and a dot, a typed suite's with a comment after.
file(STRINGS "${listing}" suites REGEX "^[A-Za-z0-9_/]+\\.( .*)?$")
if(NOT suites)
    message(FATAL_ERROR "${program} lists no suite")
endif()
set(unlisted ${free_suites})
foreach(line IN LISTS suites)
    string(REGEX REPLACE "\\..*" "" suite "${line}")
    set(name "${program}.${suite}")
    add_test("${name}" "${emulator}" "${executable}" "--gtest_filter=${suite}.*")
    string(REGEX REPLACE "^.*/" "" bare "${suite}")
    list(FIND free_suites "${bare}" free)
    list(REMOVE_ITEM unlisted "${bare}")
    set(lock RESOURCE_LOCK registry COST 100)
    if(free GREATER -1)
        set(lock COST 20)
    endif()
    set_tests_properties("${name}" PROPERTIES WORKING_DIRECTORY "${work_folder}"
                         FIXTURES_REQUIRED wine ${lock})
endforeach()
# A suite renamed or gone would leave its name here, freeing nothing.
if(unlisted)
    message(FATAL_ERROR "${program} has no suite ${unlisted}")
endif()
