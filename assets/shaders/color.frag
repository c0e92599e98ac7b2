#ifdef GL_ES
precision mediump float;
#endif

void main()
{
    gl_FragColor = vec4(0.058, 0.615, 0.345, 1.0);
}
