# Initial cache for test builds (cmake -C): every endpoint on a closed loopback
# port, so that a program under test never reaches for the maker's hosts.
set(QM_NOWHERE "http://127.0.0.1:9")
foreach(var QM_SITE_HOST QM_CONFIG_SERVICE_HOST QM_CONFIG_MIRROR_HOST QM_CONFIG_TEST_HOST QM_GA4_HOST
            QM_FUNNEL_HOST QM_FUNNEL_TEST_HOST QM_EXCEPTION_HOST QM_EXCEPTION_TEST_HOST QM_USER_HOST
            QM_GEO_HOST QM_BANNER_HOST QM_BANNER_TEST_HOST QM_LOGUPLOAD_HOST)
  set(${var} "${QM_NOWHERE}" CACHE STRING "")
endforeach()
set(QM_USER_ADDRESS_FILE "${QM_NOWHERE}/service/userservice.txt" CACHE STRING "")
# The package host keeps its "dl." form; curl resolves *.localhost to loopback.
set(QM_DOWNLOAD_HOST "http://dl.localhost:9" CACHE STRING "")
