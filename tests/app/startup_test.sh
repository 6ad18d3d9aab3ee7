# Time limit: 60 s (a normal run takes about 6 s).
# Both start-up forms print their loading lines, and the first picture shows the body in the
# middle, an empty sky, the grey ground with the shadow image on it, and the HUD text (checked
# region by region: the window capture may lose a pixel row and column at the window's border).
source "$(dirname "$0")/program_lib.sh"

# Arguments; tetrahedra file; a line the form prints; the body region (W H X Y) fully lit.
while IFS=';' read -r args tets line body; do
    start_tetlab $args
    png="$WORK/${tets##*/}.png"
    shot "$png"
    close_tetlab
    printf 'Creating fbo.\ninitializing fbo 1024 1024\nCreated fbo.\nloading obj: %s\n' "$tets" |
        cmp -s - <(head -n 4 "$WORK/out.txt") || fail "$args: first lines"
    grep -Eqx 'There are [1-9][0-9]* tets' "$WORK/out.txt" || fail "$args: no tetrahedra loaded"
    grep -q "$line" "$WORK/out.txt" "$WORK/err.txt" || fail "$args: no '$line'"
    [ "$(fraction_lit "$png" $body)" = "1" ] || fail "$args: no body in the middle"
    [ "$(fraction_lit "$png" 600 60 20 20)" = "0" ] || fail "$args: sky is not empty"
    for x in 20 300 520; do
        read -r r g b <<<"$(mean_rgb "$png" 100 30 "$x" 415)"
        [ "$r" -gt 15 ] && [ "$r" -lt 200 ] && [ "$r" = "$g" ] && [ "$g" = "$b" ] ||
            fail "$args: ground at x=$x has colour $r $g $b"
    done
    # HUD text at the lower left: some white pixels, far fewer than all; none beside it.
    hud=$(fraction_lit "$png" 80 14 2 463 60)
    is_greater "$hud" 0.05 && is_greater 0.6 "$hud" || fail "$args: HUD text coverage $hud"
    [ "$(fraction_lit "$png" 200 14 300 463 60)" = "0" ] || fail "$args: stray light"
done <<TABLE
tests/app/data/beam.scene;tests/app/data/beam_tets.obj;NOTE: image pow2 mode has been set;40 40 300 180
tests/app/data/slab_tets.obj tests/app/data/slab_surface.obj;tests/app/data/slab_tets.obj;^bestDist: ;200 20 220 212
TABLE
# The beam is textured with the checker image: red clearly above blue somewhere on the body.
read -r r g b <<<"$(mean_rgb "$WORK/beam_tets.obj.png" 40 40 300 180)"
[ "$r" -gt $((b + 30)) ] || fail "body colour $r $g $b shows no checker texture"
echo "startup: ok"
