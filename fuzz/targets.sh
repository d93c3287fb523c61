# The fuzz targets, in one place: build.sh and run.sh loop over FUZZ_TARGETS.
# For a target NAME: the harness is fuzz/NAME_fuzz.cpp, fuzz_sources_NAME lists
# the project sources it needs (relative to the repository root) and the seed
# corpus is fuzz/corpus/NAME/.
FUZZ_TARGETS=(abm exif dib)

fuzz_sources_abm=(components/albumstore/AbmCodec.cpp)
fuzz_includes_abm=(components/albumstore)

fuzz_sources_exif=(model/ExifReader.cpp platform/Text.cpp)
fuzz_includes_exif=(. include)

fuzz_sources_dib=()
fuzz_includes_dib=(.)
