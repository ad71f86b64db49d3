# cmake -DSOURCE=web/ -DSITE=site/ -P site.cmake, after the link: index.html into the site
# with the sizes of the files its progress bar counts (a host that compresses them sends
# no size the page could use), and page.js beside it.
file(SIZE ${SITE}/orvel.wasm ORVEL_WASM_BYTES)
file(SIZE ${SITE}/orvel.data ORVEL_DATA_BYTES)
configure_file(${SOURCE}/index.html ${SITE}/index.html @ONLY)
configure_file(${SOURCE}/page.js ${SITE}/page.js COPYONLY)
