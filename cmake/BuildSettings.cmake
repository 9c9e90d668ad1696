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
set(QM_BANNER_TEST_HOST "https://test-banner.quillmarch.com" CACHE STRING "Banner service of the test environment")
set(QM_LOGUPLOAD_HOST "https://log.quillmarch.com" CACHE STRING "Diagnostic log upload host")

# Package publishers. Packages are trusted only when signed by a certificate of
# QM_TRUSTED_PUBLISHER_PEM (or one that chains to a certificate there); the
# system CA store is never used for packages. Packages signed by one listed in
# QM_DISTRUSTED_PUBLISHER_PEM are refused. Without a configured
# publisher the build makes its own demo publisher (key and certificate under
# <build>/publisher/), which the demo product is signed with.
set(QM_TRUSTED_PUBLISHER_PEM "" CACHE FILEPATH "PEM file with the trusted package publisher certificate(s)")
set(QM_DISTRUSTED_PUBLISHER_PEM "" CACHE FILEPATH "PEM file with refused publisher certificates")
set(QM_DEMO_PUBLISHER_DIR ${CMAKE_BINARY_DIR}/publisher)
if(QM_TRUSTED_PUBLISHER_PEM STREQUAL "")
  if(NOT EXISTS ${QM_DEMO_PUBLISHER_DIR}/publisher.pem)
    file(MAKE_DIRECTORY ${QM_DEMO_PUBLISHER_DIR})
    execute_process(
      COMMAND openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256
              -subj "/O=Quillmarch/CN=Quillmarch Demo Publisher"
              -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature"
              -keyout ${QM_DEMO_PUBLISHER_DIR}/publisher.key -out ${QM_DEMO_PUBLISHER_DIR}/publisher.pem
      RESULT_VARIABLE qm_publisher_rc OUTPUT_QUIET ERROR_QUIET)
    if(NOT qm_publisher_rc EQUAL 0)
      message(FATAL_ERROR "openssl could not make the demo publisher certificate")
    endif()
  endif()
  set(QM_TRUSTED_PUBLISHER_FILE ${QM_DEMO_PUBLISHER_DIR}/publisher.pem)
else()
  set(QM_TRUSTED_PUBLISHER_FILE ${QM_TRUSTED_PUBLISHER_PEM})
endif()
file(READ ${QM_TRUSTED_PUBLISHER_FILE} QM_TRUSTED_PUBLISHER_TEXT)
set(QM_DISTRUSTED_PUBLISHER_TEXT "")
if(NOT QM_DISTRUSTED_PUBLISHER_PEM STREQUAL "")
  file(READ ${QM_DISTRUSTED_PUBLISHER_PEM} QM_DISTRUSTED_PUBLISHER_TEXT)
endif()
set(QM_FUNNEL_TEST_HOST "https://test-collect.quillmarch.com" CACHE STRING "Funnel collector of the test switch")
set(QM_USER_ADDRESS_FILE "https://www.quillmarch.com/service/userservice.txt" CACHE STRING "Text file naming the user service's base address")

# CDN hosts the download statistics recognise: one regional host per brand
# domain and the secondary CDN host.
set(QM_REGIONAL_CDN_HOST_1 "cdn-us.quillmarch.com" CACHE STRING "Regional CDN host of the first brand domain")
set(QM_REGIONAL_CDN_HOST_2 "cdn-eu.vantorsoft.com" CACHE STRING "Regional CDN host of the second brand domain")
set(QM_REGIONAL_CDN_HOST_3 "cdn-asia.markeraser.com" CACHE STRING "Regional CDN host of the third brand domain")
set(QM_SECONDARY_CDN_HOST "download2.quillmarch.com" CACHE STRING "Secondary CDN host")
