# Every endpoint host of the product is a build setting. The defaults name the
# maker's production hosts; the demo build points them at the local reference
# services on loopback (see README).
set(QM_DOWNLOAD_HOST "http://dl.quillmarch.com" CACHE STRING "Plain-HTTP package host (host part begins with dl.)")
set(QM_SITE_HOST "https://www.quillmarch.com" CACHE STRING "Maker's web site, holds the extra download path")
set(QM_INSTALLER_NAME "markeraser_setup.exe" CACHE STRING "File name of the product's setup program")
set(QM_CONFIG_SERVICE_HOST "https://api.quillmarch.com" CACHE STRING "Download-configuration service")
set(QM_CONFIG_MIRROR_HOST "https://api2.quillmarch.com" CACHE STRING "Mirror of the configuration service")
set(QM_CONFIG_TEST_HOST "http://test-api.quillmarch.com" CACHE STRING "Plain-HTTP test configuration service")
set(QM_GA4_HOST "https://www.google-analytics.com" CACHE STRING "GA4 collect endpoint host")
set(QM_GA4_MEASUREMENT_ID "G-QMDOWNLOAD1" CACHE STRING "GA4 measurement id")
set(QM_FUNNEL_HOST "https://collect.quillmarch.com" CACHE STRING "Funnel collector")
set(QM_EXCEPTION_HOST "https://report.quillmarch.com" CACHE STRING "Exception collector")
set(QM_EXCEPTION_TEST_HOST "http://test-report.quillmarch.com" CACHE STRING "Exception collector of the test environment")
set(QM_USER_HOST "https://user.quillmarch.com" CACHE STRING "User service")
set(QM_GEO_HOST "https://geo.quillmarch.com" CACHE STRING "Geolocation service")
set(QM_BANNER_HOST "https://banner.quillmarch.com" CACHE STRING "Banner service")
set(QM_LOGUPLOAD_HOST "https://log.quillmarch.com" CACHE STRING "Diagnostic log upload host")
