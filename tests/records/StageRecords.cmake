tobrelk_add_test(NAME test_stage_records
    SOURCES test_stage_records.cpp test_stage_file.cpp test_stage_load.cpp test_record_formats.cpp
    LIBS tobrelk_records)
