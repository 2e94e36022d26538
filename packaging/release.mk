# `make release`: dist/ with everything a release hands out, each named with
# the version of project(VERSION) in CMakeLists.txt:
#   lumagrab-cli_VERSION_ARCH.deb, lumagrab_VERSION_ARCH.deb   (the Linux build)
#   GPSLumagrab-VERSION-win64.exe, GPSLumagrab-VERSION-win64.zip (the Windows build)
#   SHA256SUMS
# `make test-release` checks dist/ and runs the installer under Wine.
# Included by the Makefile, whose BUILD and WINDOWS_BUILD it packs.
DIST    ?= dist
VERSION := $(shell grep -m1 '^project' CMakeLists.txt | grep -o 'VERSION [0-9.]*' | cut -d' ' -f2)

.PHONY: windows-package release test-release

# Every program the Windows build has, then its installer and zip.
windows-package: windows
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	rm -rf $(WINDOWS_BUILD)/packages
	cd $(WINDOWS_BUILD) && cpack -B packages

release: build windows-package
	rm -rf $(BUILD)/packages $(DIST)
	cd $(BUILD) && cpack -G DEB -B packages
	mkdir -p $(DIST)
	cp $(BUILD)/packages/*.deb $(WINDOWS_BUILD)/packages/*.exe $(WINDOWS_BUILD)/packages/*.zip $(DIST)/
	cd $(DIST) && sha256sum *.deb *.exe *.zip > SHA256SUMS
	@ls -l $(DIST)

# yes once the Windows build makes the window program: the checks then want
# lumagrab.exe in the packages, its Start-menu shortcut and its icon.
WINDOWS_WINDOW_PROGRAM ?= no

test-release:
	tests/install/release_checks.sh $(DIST) $(VERSION) $(WINDOWS_WINDOW_PROGRAM)
