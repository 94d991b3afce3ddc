#version 330
// What glows is what emits: the diffuse colour weighted by its emission (diffuse alpha).
uniform sampler2D DiffuseMap;
in vec2 vTexCoord;
out vec4 vFragGlow;

void main() {
	vec4 vDiffuse = texture(DiffuseMap, vTexCoord);
	vFragGlow = vec4(vDiffuse.rgb * vDiffuse.a * 0.4, vDiffuse.a);
}
