# The soak run (a few minutes, not part of the tests): `ninja soak` crawls a generated site of
# 20,000 pages on a loopback nginx, stops, resumes, and prints memory and pages per second.
add_custom_target(soak
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/soak/run.sh $<TARGET_FILE:siterambler-crawl>
    DEPENDS siterambler-crawl
    USES_TERMINAL
    VERBATIM)
