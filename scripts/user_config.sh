# Sourced by the scripts that make a user build: Release, no tests, GoogleTest not even looked for.
# shellcheck disable=SC2034
TRIVOX_USER_CONFIG=(--no-warn-unused-cli -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON)
