tobrelk_add_test(NAME test_flow_records
    SOURCES test_flow_records.cpp test_flow_upgrades.cpp test_ed_settings.cpp test_record_pool.cpp
    LIBS tobrelk_records)
