#!/usr/bin/env bash
# Code signing as a vendor does it, against a throwaway CA made here with openssl: scripts/sign
# (which the build runs after each shipped program links) signs copies of NimbicSetup.exe and
# nimbic-deploy.exe, osslsigncode verifies them against the CA, one changed byte breaks the
# signature, bad inputs leave the copy as it was, and the signed copies still work under Wine
# (the installed module matches the embedded one byte for byte, and the signed
# nimbic-deploy.exe verifies it).
# Usage: signing_test.sh BUILD_DIR ARTIFACT_DIR
set -u
source "$(dirname "$(readlink -f "$0")")/e2e_common.sh"
# shellcheck source-path=SCRIPTDIR/../.. source=scripts/lib/wizard.sh
source "$scripts/lib/wizard.sh"
work="$build/signing_test"
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    wizard_stop_prefix "$work/prefix"
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1

# The CA, and a code-signing certificate it issued, bundled with its key under a password.
quiet() { "$@" >>"$work/openssl.log" 2>&1; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
    -subj "/CN=Nimbic Test CA" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" &&
    quiet openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
        -subj "/CN=Vantrel Test Signer/O=Vantrel" &&
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext &&
    quiet openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 \
        -extfile signer.ext -out signer.pem &&
    NIMBIC_TEST_SIGN_PASSWORD=correct quiet openssl pkcs12 -export -inkey signer.key -in signer.pem \
        -certfile ca.pem -passout env:NIMBIC_TEST_SIGN_PASSWORD -out signer.p12 ||
    { cat openssl.log; echo "signing: 0 passed, 1 failed (openssl could not make the CA)"; exit 1; }

original="$build/installer/NimbicSetup.exe"
cp "$original" NimbicSetup.exe
sign() { "$scripts/sign" NimbicSetup.exe "$@" 2>>"$work/sign.log"; }

# Bad inputs fail and change nothing; the build's flag removes the unsigned file instead.
check "a missing bundle fails" '! sign --pkcs12 missing.p12'
check "a wrong password fails" '! NIMBIC_TEST_SIGN_PASSWORD=wrong sign --pkcs12 signer.p12 --password-env NIMBIC_TEST_SIGN_PASSWORD'
check "an unset password variable fails" '! sign --pkcs12 signer.p12 --password-env NIMBIC_TEST_SIGN_UNSET'
check "a failed signature leaves the program as it was" 'cmp -s NimbicSetup.exe "$original"'
check "the messages name the bundle" '[ "$(grep -c "signer.p12\|missing.p12" sign.log)" -eq 3 ]'
cp NimbicSetup.exe unsigned.exe
check "the build's flag removes a program it cannot sign" \
    '! "$scripts/sign" unsigned.exe --pkcs12 signer.p12 --remove-if-unsigned 2>/dev/null && [ ! -e unsigned.exe ]'

export NIMBIC_TEST_SIGN_PASSWORD=correct
check "scripts/sign signs" 'sign --pkcs12 signer.p12 --password-env NIMBIC_TEST_SIGN_PASSWORD'
osslsigncode verify -CAfile ca.pem -in NimbicSetup.exe >"$artifacts/osslsigncode-verify.txt" 2>&1
verified=$?
check "osslsigncode verify passes against the CA" \
    '[ $verified -eq 0 ] && grep -q "Signature verification: ok" "$artifacts/osslsigncode-verify.txt"'
# nimbic-deploy.exe ships beside it and is signed alike (the build signs every shipped program
# after it links), and its signature verifies.
cp "$build/installer/nimbic-deploy.exe" nimbic-deploy.exe
check "scripts/sign signs nimbic-deploy.exe" \
    '"$scripts/sign" nimbic-deploy.exe --pkcs12 signer.p12 --password-env NIMBIC_TEST_SIGN_PASSWORD 2>>"$work/sign.log"'
check "osslsigncode verifies nimbic-deploy.exe against the CA" \
    'osslsigncode verify -CAfile ca.pem -in nimbic-deploy.exe >"$artifacts/osslsigncode-verify-deploy.txt" 2>&1'

# One byte in the middle of the code, inside what the signature covers.
cp NimbicSetup.exe tampered.exe
byte=$(od -An -tu1 -j 8192 -N 1 tampered.exe | tr -d ' ')
printf "\\$(printf '%03o' $(((byte + 1) % 256)))" | dd of=tampered.exe bs=1 seek=8192 conv=notrunc 2>/dev/null
check "one changed byte fails verification" '! osslsigncode verify -CAfile ca.pem -in tampered.exe >tampered.txt 2>&1'

# The signed copy installs: started elevated (/UAC) in a fresh copy of the build's prefix with
# one host version registered, I AGREE and INSTALL pressed on the blue button, and the installed
# module compared with the payload.
wizard_new_prefix "$work/prefix" "$build/wineprefix" || exit 1
wizard_register 15.0 'C:\AE\Plug-ins'
installed=$(wizard_unix_path 'C:\AE\Plug-ins\Vantrel\Nimbic.aex')
e2e_display
(cd "$work" && exec wine "$work/NimbicSetup.exe" /UAC </dev/null >/dev/null 2>&1) &
app=$!
wizard_window=$(wizard_find_window "$wizard_title" 60)
check "the signed program's window appears" '[ -n "$wizard_window" ]'
if [ -n "$wizard_window" ]; then
    wizard_geometry
    # Parking the pointer on the header starts the window's hover tracking, so the press that
    # follows lands on a button that knows the pointer is over it.
    wizard_park_pointer
    wizard_settle
    wizard_go "$wizard_next_button" 30
    wizard_install 120
    wizard_shot "$artifacts/signed-install.png"
fi
check "the signed program installs the module byte for byte" \
    'cmp "$installed" "$build/resources/payload/Nimbic.aex"'
(cd "$work" && wine nimbic-deploy.exe verify --from NimbicSetup.exe >"$work/deploy-verify.txt" 2>&1)
deploy_status=$?
check "the signed nimbic-deploy.exe runs, and verifies what the signed setup installed" \
    '[ $deploy_status -eq 0 ] && grep -q "Every file matches" "$work/deploy-verify.txt"'

echo "signing: $passes passed, $failures failed"
[ $failures -eq 0 ]
